#include "Form2.h"

#include "Archive.h"
#include "ComputedDays.h"
#include "EntryChecks.h"
#include "LeadingNumber.h"
#include "LinePrinter.h"
#include "MovementLine.h"
#include "MovementListModel.h"
#include "MovementListView.h"
#include "Printout.h"
#include "RecordKey.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace zelvaro {

Form2::Form2(Archive &archive, const Services &services, LinePrinter &printer, QWidget *parent)
    : QWidget(parent), m_archive(archive), m_services(services), m_printer(printer)
{
    Q_ASSERT(m_services.messages && m_services.beep && m_services.pointer && m_services.clock &&
             m_services.end);
    buildWindow();

    // Form_Load. Only here do the boxes take the last listed day, so that "Nuovo" right after the
    // start proposes its times; the later reloads leave them alone.
    m_week.reset();
    if (const Outcome error = fillList())
        report(error);
    else if (m_model->rowCount() > 0)
        showLastListedDay();
    PROTEGGE_CAMPI_MOV_MAG();
}

Form2::~Form2() = default;

BoxTexts Form2::boxTexts() const
{
    BoxTexts texts;
    texts.oraInizio1 = m_txtORA_INIZIO1->text();
    texts.oraFine1 = m_txtORA_FINE1->text();
    texts.oraInizio2 = m_txtORA_INIZIO2->text();
    texts.oraFine2 = m_txtORA_FINE2->text();
    texts.oraInizio3 = m_txtORA_INIZIO3->text();
    texts.oraFine3 = m_txtORA_FINE3->text();
    texts.totale1 = m_txtTOTALE_1->text();
    texts.totale2 = m_txtTOTALE_2->text();
    texts.totale3 = m_txtTOTALE_3->text();
    texts.totaleGenerale = m_txtTOTALE_GENERALE->text();
    texts.totaleGenSettimana = m_txtTOTALE_GEN_SETTIMANA->text();
    return texts;
}

void Form2::showReadOuts(const BoxTexts &texts)
{
    m_txtTOTALE_1->setText(texts.totale1);
    m_txtTOTALE_2->setText(texts.totale2);
    m_txtTOTALE_3->setText(texts.totale3);
    m_txtTOTALE_GENERALE->setText(texts.totaleGenerale);
    m_txtTOTALE_GEN_SETTIMANA->setText(texts.totaleGenSettimana);
}

void Form2::refuse(const QString &message)
{
    m_services.beep->beep();
    m_services.messages->show(message, QString(), MessageBoxService::Icon::None,
                              MessageBoxService::Buttons::Ok);
}

void Form2::report(int code, const QString &text)
{
    m_pending = PendingError{code, text};
    SEGNALA_ERRORE(m_pending, *m_services.messages);
}

void Form2::report(const Outcome &error)
{
    report(error.code, error.text);
}

void Form2::reportInvalidKey(const QString &key)
{
    // SQLite's "data type mismatch": the key cannot be bound as a record number.
    constexpr int kMismatch = 20;
    report(kMismatch, QStringLiteral("Numero del movimento non valido: ") + key);
}

QString Form2::beforeWrite()
{
    return m_services.beforeWrite ? m_services.beforeWrite->beforeWrite() : QString();
}

void Form2::afterChange(const QString &done, const QString &note)
{
    const QString changed =
        QStringLiteral("Il movimento ") + m_recordKey + QStringLiteral(" è stato ") + done;
    const QString besides = note.isEmpty() ? QString() : QStringLiteral("\r\r") + note;
    // The change is made: a list that cannot be read again must not make it look lost.
    if (const Outcome error = fillList())
        report(error.code,
               changed + QStringLiteral(", ma l'elenco non è stato aggiornato: ") + error.text + besides);
    else if (!note.isEmpty())
        m_services.messages->show(changed + QLatin1Char('.') + besides, QString(),
                                  MessageBoxService::Icon::Warning, MessageBoxService::Buttons::Ok);
}

void Form2::CARICA_LISTA_MOV()
{
    if (const Outcome error = fillList())
        report(error);
}

Outcome Form2::fillList()
{
    m_services.pointer->setBusy(true);

    MovementRows rows;
    rows.reserve(m_model->rowCount() + 1);
    // The fill computes on its own holder: the window keeps showing what it showed (the number box
    // may name another record), but for the running total of all listed days.
    copyText(m_listHolder.totaleGenSettimana, m_txtTOTALE_GEN_SETTIMANA->text());
    QString lastNumber;
    const Outcome error = forEachComputedDay(m_archive, m_listHolder, m_week, [&](const ComputedDay &day) {
        rows.append(day.record, recordNumberFromKey(day.record.numMov).value_or(0));
        copyText(lastNumber, day.record.numMov);
    });
    if (error) {
        // The list keeps the lines it showed: nothing half-filled.
        m_services.pointer->setBusy(false);
        return error;
    }

    m_model->setRows(std::move(rows));
    if (m_model->rowCount() == 0) {
        m_current = CurrentRecord{};
        m_services.messages->show(QStringLiteral("Archivio vuoto !"), QString(),
                                  MessageBoxService::Icon::None, MessageBoxService::Buttons::Ok);
    } else {
        m_recordKey = lastNumber;
        if (m_listHolder.totaleGenSettimana != m_txtTOTALE_GEN_SETTIMANA->text())
            m_txtTOTALE_GEN_SETTIMANA->setText(m_listHolder.totaleGenSettimana);
    }
    m_services.pointer->setBusy(false);
    return {};
}

void Form2::showLastListedDay()
{
    const BoxTexts &last = m_listHolder;
    m_txtORA_INIZIO1->setText(last.oraInizio1);
    m_txtORA_FINE1->setText(last.oraFine1);
    m_txtORA_INIZIO2->setText(last.oraInizio2);
    m_txtORA_FINE2->setText(last.oraFine2);
    m_txtORA_INIZIO3->setText(last.oraInizio3);
    m_txtORA_FINE3->setText(last.oraFine3);
    showReadOuts(last);
}

void Form2::notifyArchiveChanged()
{
    if (m_services.events)
        emit m_services.events->changed();
}

bool Form2::LEGGE_MOV()
{
    if (leadingNumber(m_recordKey) == 0)
        return true;
    const std::optional<qint64> number = recordNumberFromKey(m_recordKey);
    if (!number) {
        reportInvalidKey(m_recordKey);
        return false;
    }
    std::optional<HoursRecord> record;
    if (const Outcome error = m_archive.readRecord(*number, &record)) {
        report(error);
        return false;
    }
    if (record) {
        m_recordKey = record->numMov;
        m_current = CurrentRecord{record->numMov, record->anno, record->mese, record->giorno, record->note};
        m_txtORA_INIZIO1->setText(record->oraInizio1);
        m_txtORA_FINE1->setText(record->oraFine1);
        m_txtORA_INIZIO2->setText(record->oraInizio2);
        m_txtORA_FINE2->setText(record->oraFine2);
        m_txtORA_INIZIO3->setText(record->oraInizio3);
        m_txtORA_FINE3->setText(record->oraFine3);
    } else {
        // Removed since the list was filled: the key keeps the picked number.
        m_current = CurrentRecord{};
        for (QLineEdit *box : {m_txtORA_INIZIO1, m_txtORA_FINE1, m_txtORA_INIZIO2, m_txtORA_FINE2,
                               m_txtORA_INIZIO3, m_txtORA_FINE3})
            box->clear();
    }
    return true;
}

void Form2::MOSTRA_CAMPI_MOV_MAG()
{
    m_txtNUM_MOV->setText(m_current.numero);
    m_txtANNO->setText(m_current.anno);
    m_txtMESE->setText(m_current.mese);
    m_txtGIORNO->setText(m_current.giorno);
}

void Form2::PROTEGGE_CAMPI_MOV_MAG()
{
    m_txtANNO->setEnabled(false);
    m_txtMESE->setEnabled(false);
    m_txtGIORNO->setEnabled(false);
}

bool Form2::CERCA_ULT_MOV()
{
    std::optional<qint64> last;
    if (const Outcome error = m_archive.lastNumber(&last)) {
        report(error);
        return false;
    }
    if (last)
        m_recordKey = QString::number(*last);
    return true;
}

void Form2::List1_Click(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const QString keptWeekTotal = m_txtTOTALE_GEN_SETTIMANA->text();
    // The record is the one the line was made from, not the number read back from the line's
    // first ten characters (a number of more than ten digits is cut there).
    const qint64 number = m_model->recordNumber(row);
    if (number > 0) {
        m_recordKey = QString::number(number);
        if (LEGGE_MOV()) {
            MOSTRA_CAMPI_MOV_MAG();
            m_week.reset();
            BoxTexts texts = boxTexts();
            CALCOLA_ORE(texts, m_week);
            showReadOuts(texts);
        } else {
            showNoRecord();
        }
    } else {
        // A NUM_MOV that is not a whole number (another tool wrote it) names no record to read.
        m_recordKey = trimBlanks(m_model->line(row).left(10));
        reportInvalidKey(m_recordKey);
        showNoRecord();
    }
    PROTEGGE_CAMPI_MOV_MAG();
    m_txtTOTALE_GEN_SETTIMANA->setText(keptWeekTotal);
    m_Command1->setEnabled(true);
}

void Form2::showNoRecord()
{
    // The list highlights a line whose record could not be shown: the boxes must not go on
    // naming the record shown before, or a "Conferma" would overwrite it with these times.
    m_recordKey.clear();
    m_current = CurrentRecord{};
    MOSTRA_CAMPI_MOV_MAG();
    for (QLineEdit *box :
         {m_txtORA_INIZIO1, m_txtORA_FINE1, m_txtORA_INIZIO2, m_txtORA_FINE2, m_txtORA_INIZIO3,
          m_txtORA_FINE3, m_txtTOTALE_1, m_txtTOTALE_2, m_txtTOTALE_3, m_txtTOTALE_GENERALE})
        box->clear();
}

void Form2::cmdNUOVO_Click()
{
    // The last number is asked first, so that a failing archive leaves the window as it was.
    if (!CERCA_ULT_MOV())
        return;
    if (recordNumberFromKey(m_recordKey) == std::numeric_limits<qint64>::max()) {
        refuse(QStringLiteral("Numeri di movimento esauriti"));
        return;
    }
    m_Command1->setEnabled(false);
    m_txtANNO->setEnabled(true);
    m_txtMESE->setEnabled(true);
    m_txtGIORNO->setEnabled(true);
    const QDate today = m_services.clock->today();
    const QChar zero = u'0';
    const QString dateText = QStringLiteral("%1-%2-%3")
                                 .arg(today.month(), 2, 10, zero)
                                 .arg(today.day(), 2, 10, zero)
                                 .arg(today.year(), 4, 10, zero);
    m_current.anno = dateText.right(4);
    m_current.mese = dateText.left(2);
    m_current.giorno = dateText.mid(3, 2);
    m_current.numero = nextNumberText(m_recordKey);
    MOSTRA_CAMPI_MOV_MAG();
}

void Form2::cmdCONFERMA_Click()
{
    m_recordKey = trimBlanks(m_txtNUM_MOV->text());
    const Refusal refusal =
        checkEntries(m_recordKey, m_txtORA_INIZIO1->text(), m_txtORA_FINE1->text(), m_txtORA_INIZIO2->text(),
                     m_txtORA_FINE2->text(), m_txtORA_INIZIO3->text(), m_txtORA_FINE3->text());
    if (refusal != Refusal::None) {
        refuse(refusalMessage(refusal));
        return;
    }
    const std::optional<qint64> number = recordNumberFromKey(m_recordKey);
    if (!number) {
        reportInvalidKey(m_recordKey);
        return;
    }

    // The typed day's durations; shown once the row is stored.
    m_week.reset();
    BoxTexts texts = boxTexts();
    CALCOLA_ORE(texts, m_week);

    const RecordValues values{trimBlanks(m_txtANNO->text()),      trimBlanks(m_txtMESE->text()),
                              trimBlanks(m_txtGIORNO->text()),    trimBlanks(m_txtORA_INIZIO1->text()),
                              trimBlanks(m_txtORA_FINE1->text()), trimBlanks(m_txtORA_INIZIO2->text()),
                              trimBlanks(m_txtORA_FINE2->text()), trimBlanks(m_txtORA_INIZIO3->text()),
                              trimBlanks(m_txtORA_FINE3->text())};
    const QString note = beforeWrite();
    qint64 stored = 0;
    if (const Outcome error = m_archive.confirmRecord(*number, values, &stored)) {
        // The archive's text ends saying that nothing was stored; the copy's failure comes after.
        report(error.code, note.isEmpty() ? error.text : error.text + QStringLiteral("\r\r") + note);
        return;
    }
    showReadOuts(texts);
    m_current.numero = m_txtNUM_MOV->text();
    m_current.anno = m_txtANNO->text();
    m_current.mese = m_txtMESE->text();
    m_current.giorno = m_txtGIORNO->text();
    if (stored != *number) {
        // A new row numbered by the archive: show its number, so that the next "Conferma"
        // overwrites it instead of adding the same day again.
        m_recordKey = QString::number(stored);
        m_current.numero = m_recordKey;
        m_txtNUM_MOV->setText(m_recordKey);
    }
    m_week.reset();
    afterChange(QStringLiteral("registrato"), note);
    PROTEGGE_CAMPI_MOV_MAG();
    notifyArchiveChanged();
}

void Form2::Command1_Click()
{
    m_recordKey = trimBlanks(m_txtNUM_MOV->text());
    if (m_recordKey.isEmpty()) {
        refuse(refusalMessage(Refusal::Numero));
        return;
    }
    const MessageBoxService::Answer answer =
        m_services.messages->show(QStringLiteral("Confermi la cancellazione del movimento ") + m_recordKey,
                                  QStringLiteral("Cancellazione nodo"), MessageBoxService::Icon::None,
                                  MessageBoxService::Buttons::YesNo);
    if (answer != MessageBoxService::Answer::Yes)
        return;
    const std::optional<qint64> number = recordNumberFromKey(m_recordKey);
    if (!number) {
        reportInvalidKey(m_recordKey);
        return;
    }
    const QString note = beforeWrite();
    if (const Outcome error = m_archive.deleteRecord(*number)) {
        report(error.code, note.isEmpty() ? error.text : error.text + QStringLiteral("\r\r") + note);
        return;
    }
    m_week.reset();
    afterChange(QStringLiteral("cancellato"), note);
    notifyArchiveChanged();
}

void Form2::Command2_Click()
{
    m_services.pointer->setBusy(true);
    PrintResult result;
    {
        // Closed before the pointer turns normal: its arrow sits above the busy pointer.
        const std::unique_ptr<Progress> progress =
            beginProgress(m_services, QStringLiteral("Stampa dell'elenco delle ore in corso…"));
        result = printHoursList(m_archive, m_printer, progress.get());
    }
    m_services.pointer->setBusy(false);
    if (result.cancelled())
        return; // the user's own choice: nothing was printed, nothing to say
    if (result.failed())
        report(result.code, result.text);
    else if (const QString notice = printNotice(result, hoursListDocument()); !notice.isEmpty())
        m_services.messages->show(notice, QString(), MessageBoxService::Icon::None,
                                  MessageBoxService::Buttons::Ok);
}

void Form2::cmdFINE_Click()
{
    m_archive.close();
    m_services.end->endProgram();
}

void Form2::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit unloaded();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        auto *box = qobject_cast<QLineEdit *>(watched);
        if (box == m_txtANNO || box == m_txtMESE || box == m_txtGIORNO) {
            // After the click that gave the focus has placed the cursor.
            QMetaObject::invokeMethod(
                box, [box] { box->selectAll(); }, Qt::QueuedConnection);
        } else if (box) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            // Only the date boxes select their text on entry; a line edit would select it on Tab.
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
                QMetaObject::invokeMethod(
                    box, [box] { box->deselect(); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace zelvaro
