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

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelvaro {

namespace {

// The window's design is laid out in twips; 15 twips make one pixel.
int px(int twips)
{
    return (twips + 7) / 15;
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

const QColor kCyan(0, 255, 255);
const QColor kPink(255, 192, 255);
const QColor kGreen(0, 255, 0);
const QColor kYellow(255, 255, 0);

void setBackground(QLineEdit *box, const QColor &colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

// Relative luminance of a colour (WCAG 2).
double luminance(const QColor &colour)
{
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A disabled box keeps its disabled background, with the palest grey whose text reads at 4.5:1 or
// more against it (the style's own disabled grey is about 2:1), so it still looks protected.
void setReadableWhenDisabled(QLineEdit *box)
{
    QPalette palette = box->palette();
    const QColor base = palette.color(QPalette::Disabled, QPalette::Base);
    const bool darkText = luminance(base) > 0.18;
    QColor text = darkText ? QColor(Qt::black) : QColor(Qt::white);
    for (int grey = 128; grey >= 0 && grey <= 255; grey += darkText ? -4 : 4) {
        if (contrast(QColor(grey, grey, grey), base) >= 4.6) {
            text = QColor(grey, grey, grey);
            break;
        }
    }
    palette.setColor(QPalette::Disabled, QPalette::Text, text);
    box->setPalette(palette);
}

// The design's window font is 8.25 point; the list alone has a fixed-pitch one.
QFont windowFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    return font;
}

// A caption is shown whole: where the system's font is wider than the one the window was laid out
// with, the label narrows its letters instead of cutting them off.
void fitCaption(QLabel *label)
{
    static constexpr int kStretches[] = {QFont::SemiCondensed, QFont::Condensed, QFont::ExtraCondensed};
    QFont font = label->font();
    for (const int stretch : kStretches) {
        if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width())
            break;
        font.setStretch(stretch);
        label->setFont(font);
    }
}

QFont listFont()
{
    const QString courier = QStringLiteral("Courier New");
    QFont font = QFontDatabase::families().contains(courier)
                     ? QFont(courier)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// A small clock face on a sheet: the register of worked hours.
QIcon makeWindowIcon()
{
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 16.0;
        painter.setPen(QPen(QColor(40, 40, 40), s));
        painter.setBrush(QColor(255, 255, 224));
        painter.drawRect(QRectF(1.5 * s, 0.5 * s, 11 * s, 14 * s));
        painter.setBrush(kCyan);
        painter.drawEllipse(QRectF(6 * s, 6 * s, 9.5 * s, 9.5 * s));
        painter.drawLine(QPointF(10.75 * s, 10.75 * s), QPointF(10.75 * s, 7.5 * s));
        painter.drawLine(QPointF(10.75 * s, 10.75 * s), QPointF(13 * s, 10.75 * s));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

Form2::Form2(Archive &archive, const Services &services, LinePrinter &printer, QWidget *parent)
    : QWidget(parent), m_archive(archive), m_services(services), m_printer(printer)
{
    Q_ASSERT(m_services.messages && m_services.beep && m_services.pointer && m_services.clock &&
             m_services.end);
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Zelvaro"));
    setAccessibleName(QStringLiteral("Registro delle ore"));
    setWindowIcon(makeWindowIcon());
    resize(px(10665), px(6510));
    setFont(windowFont());
    buildControls();

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

QSize Form2::sizeHint() const
{
    return QSize(px(10665), px(6510));
}

QLabel *Form2::addLabel(const char *name, const QString &caption, int left, int top, int width, int height)
{
    auto *label = new QLabel(caption, this);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(twipsRect(left, top, width, height));
    label->setFocusPolicy(Qt::NoFocus);
    label->setTextFormat(Qt::PlainText);
    fitCaption(label);
    return label;
}

QLineEdit *Form2::addBox(const char *name, QLabel *label, int left, int top, int width, int height)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(QLatin1String(name));
    // A screen reader names the box after the caption above it (" Mese" without its blank).
    label->setBuddy(box);
    box->setAccessibleName(label->text().trimmed());
    box->setGeometry(twipsRect(left, top, width, height));
    box->setMaxLength(std::numeric_limits<int>::max());
    box->installEventFilter(this);
    return box;
}

QPushButton *Form2::addButton(const char *name, const QString &caption, int left, int top, int width,
                              int height)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsRect(left, top, width, height));
    button->setAutoDefault(false);
    return button;
}

void Form2::buildControls()
{
    m_model = new MovementListModel(this);
    m_List1 = new MovementListView(this);
    m_List1->setObjectName(QStringLiteral("List1"));
    m_List1->setGeometry(twipsRect(120, 120, 10335, 4470));
    m_List1->setFont(listFont());
    m_List1->setModel(m_model);

    m_txtNUM_MOV = addBox("txtNUM_MOV", addLabel("Label5", QStringLiteral("Num. mov."), 120, 4680, 855, 255),
                          120, 4920, 855, 285);
    m_txtGIORNO = addBox("txtGIORNO", addLabel("Label13", QStringLiteral("Giorno"), 1320, 4680, 495, 255),
                         1320, 4920, 495, 285);
    m_txtMESE = addBox("txtMESE", addLabel("Label12", QStringLiteral(" Mese"), 1800, 4680, 495, 255), 1800,
                       4920, 495, 285);
    m_txtANNO = addBox("txtANNO", addLabel("Label11", QStringLiteral(" Anno"), 2280, 4680, 495, 255), 2280,
                       4920, 495, 285);
    m_txtORA_INIZIO1 =
        addBox("txtORA_INIZIO1", addLabel("Label7", QStringLiteral("Ora inizio 1"), 3360, 4680, 855, 255),
               3240, 4920, 975, 285);
    m_txtORA_FINE1 =
        addBox("txtORA_FINE1", addLabel("Label10", QStringLiteral("Ora fine 1"), 4440, 4680, 855, 255), 4320,
               4920, 975, 285);
    m_txtORA_INIZIO2 =
        addBox("txtORA_INIZIO2", addLabel("Label14", QStringLiteral("Ora inizio 2"), 5760, 4680, 855, 255),
               5640, 4920, 975, 285);
    m_txtORA_FINE2 =
        addBox("txtORA_FINE2", addLabel("Label15", QStringLiteral("Ora fine 2"), 6840, 4680, 855, 255), 6720,
               4920, 975, 285);
    m_txtORA_INIZIO3 =
        addBox("txtORA_INIZIO3", addLabel("Label9", QStringLiteral("Ora inizio 3"), 8160, 4680, 855, 255),
               8040, 4920, 975, 285);
    m_txtORA_FINE3 =
        addBox("txtORA_FINE3", addLabel("Label16", QStringLiteral("Ora fine 3"), 9240, 4680, 855, 255), 9120,
               4920, 975, 285);
    m_txtTOTALE_GENERALE = addBox(
        "txtTOTALE_GENERALE", addLabel("Label8", QStringLiteral("Totale Ore Giornata"), 240, 5280, 1695, 255),
        120, 5520, 1575, 315);
    m_txtTOTALE_1 =
        addBox("txtTOTALE_1", addLabel("Label2", QStringLiteral("Totale ore 1"), 3840, 5280, 975, 255), 3720,
               5520, 1215, 315);
    m_txtTOTALE_2 =
        addBox("txtTOTALE_2", addLabel("Label1", QStringLiteral("Totale ore 2"), 6240, 5280, 975, 255), 6120,
               5520, 1215, 315);
    m_txtTOTALE_3 =
        addBox("txtTOTALE_3", addLabel("Label3", QStringLiteral("Totale ore 3"), 8640, 5280, 975, 255), 8520,
               5520, 1215, 315);
    m_txtTOTALE_GEN_SETTIMANA = addBox(
        "txtTOTALE_GEN_SETTIMANA",
        addLabel("Label4", QStringLiteral("Tot. Ore Settimana"), 240, 5880, 1695, 255), 120, 6120, 1575, 315);
    m_Command2 = addButton("Command2", QStringLiteral("Stampa elenco"), 2040, 6000, 1335, 375);
    m_Command1 = addButton("Command1", QStringLiteral("Cancella"), 4680, 6000, 1335, 375);
    m_cmdNUOVO = addButton("cmdNUOVO", QStringLiteral("Nuovo"), 6240, 6000, 1335, 375);
    m_cmdCONFERMA = addButton("cmdCONFERMA", QStringLiteral("Conferma"), 7800, 6000, 1335, 375);
    m_cmdFINE = addButton("cmdFINE", QStringLiteral("F i n e"), 9360, 6000, 1095, 375);

    for (QLineEdit *box : {m_txtNUM_MOV, m_txtTOTALE_GENERALE, m_txtTOTALE_1, m_txtTOTALE_2, m_txtTOTALE_3,
                           m_txtTOTALE_GEN_SETTIMANA}) {
        box->setReadOnly(true);
        box->setAccessibleDescription(QStringLiteral("Campo di sola lettura"));
    }
    // The date of a picked record stays readable in the protected date boxes.
    for (QLineEdit *box : {m_txtGIORNO, m_txtMESE, m_txtANNO})
        setReadableWhenDisabled(box);
    m_List1->setAccessibleName(QStringLiteral("Elenco movimenti"));
    m_List1->setAccessibleDescription(QStringLiteral("Un movimento per riga: numero, data e i sei orari"));
    // A screen reader would spell the caption "F i n e" letter by letter.
    m_cmdFINE->setAccessibleName(QStringLiteral("Fine"));
    setBackground(m_txtNUM_MOV, kCyan);
    setBackground(m_txtTOTALE_GENERALE, kPink);
    setBackground(m_txtTOTALE_1, kGreen);
    setBackground(m_txtTOTALE_2, kGreen);
    setBackground(m_txtTOTALE_3, kGreen);
    setBackground(m_txtTOTALE_GEN_SETTIMANA, kYellow);
    m_Command1->setEnabled(false);

    // The focus order of the design (labels take none).
    const QList<QWidget *> order = {m_List1,
                                    m_txtNUM_MOV,
                                    m_txtGIORNO,
                                    m_txtMESE,
                                    m_txtANNO,
                                    m_txtORA_INIZIO1,
                                    m_txtORA_FINE1,
                                    m_txtORA_INIZIO2,
                                    m_txtORA_FINE2,
                                    m_txtORA_INIZIO3,
                                    m_txtORA_FINE3,
                                    m_txtTOTALE_1,
                                    m_txtTOTALE_GENERALE,
                                    m_Command1,
                                    m_cmdNUOVO,
                                    m_cmdCONFERMA,
                                    m_cmdFINE,
                                    m_txtTOTALE_2,
                                    m_txtTOTALE_3,
                                    m_Command2,
                                    m_txtTOTALE_GEN_SETTIMANA};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_List1, &MovementListView::picked, this, &Form2::List1_Click);
    connect(m_cmdNUOVO, &QPushButton::clicked, this, &Form2::cmdNUOVO_Click);
    connect(m_cmdCONFERMA, &QPushButton::clicked, this, &Form2::cmdCONFERMA_Click);
    connect(m_Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(m_Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(m_cmdFINE, &QPushButton::clicked, this, &Form2::cmdFINE_Click);
}

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

void Form2::CARICA_LISTA_MOV()
{
    if (const Outcome error = fillList())
        report(error);
}

Outcome Form2::fillList()
{
    m_services.pointer->setBusy(true);

    QList<QString> lines;
    QList<qint64> numbers;
    lines.reserve(m_model->rowCount() + 1);
    numbers.reserve(m_model->rowCount() + 1);
    // The fill computes on its own holder: the window keeps showing what it showed (the number box
    // may name another record), but for the running total of all listed days.
    copyText(m_listHolder.totaleGenSettimana, m_txtTOTALE_GEN_SETTIMANA->text());
    QString lastNumber;
    const Outcome error = forEachComputedDay(m_archive, m_listHolder, m_week, [&](const ComputedDay &day) {
        lines.append(movementLine(day.record));
        numbers.append(recordNumberFromKey(day.record.numMov).value_or(0));
        copyText(lastNumber, day.record.numMov);
    });
    if (error) {
        // The list keeps the lines it showed: nothing half-filled.
        m_services.pointer->setBusy(false);
        return error;
    }

    m_model->setLines(std::move(lines), std::move(numbers));
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
    if (m_services.beforeWrite)
        m_services.beforeWrite->beforeWrite();
    qint64 stored = 0;
    if (const Outcome error = m_archive.confirmRecord(*number, values, &stored)) {
        report(error); // the archive's text ends saying that nothing was stored
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
    // The day is stored: a list that cannot be read again must not make it look lost.
    if (const Outcome error = fillList())
        report(error.code, QStringLiteral("Il movimento ") + m_recordKey +
                               QStringLiteral(" è stato registrato, ma l'elenco non è stato aggiornato: ") +
                               error.text);
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
    if (m_services.beforeWrite)
        m_services.beforeWrite->beforeWrite();
    if (const Outcome error = m_archive.deleteRecord(*number)) {
        report(error); // the archive's text ends saying that nothing was deleted
        return;
    }
    m_week.reset();
    if (const Outcome error = fillList())
        report(error.code, QStringLiteral("Il movimento ") + m_recordKey +
                               QStringLiteral(" è stato cancellato, ma l'elenco non è stato aggiornato: ") +
                               error.text);
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
