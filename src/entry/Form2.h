#pragma once

#include "CalcolaOre.h"
#include "ErrorReport.h"
#include "Outcome.h"
#include "PlatformServices.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zelvaro {

class Archive;
class LinePrinter;
class MovementListModel;
class MovementListView;
struct Outcome;

// The hours entry window: the movement list, the boxes of one record with its period, day and
// week totals, and the buttons "Stampa elenco", "Cancella", "Nuovo", "Conferma" and "F i n e".
// Every control carries its design name as objectName. The window's boxes only show things: the
// list fill and the printout compute on holders of their own.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Runs the load step: week accumulators to 0, the movement list filled, the date boxes
    // protected. `archive`, the services and `printer` must outlive the window.
    Form2(Archive &archive, const Services &services, LinePrinter &printer, QWidget *parent = nullptr);
    ~Form2() override;

    // Puts the highest listed record number into the record key (left as it was when the archive
    // lists no record). Returns false after reporting an archive failure.
    bool CERCA_ULT_MOV();
    // Disables the year, month and day boxes.
    void PROTEGGE_CAMPI_MOV_MAG();
    // Fills List1 with one line per listed record, adding each day to the week accumulators
    // (callers reset them first) and showing the running total in the week total box.
    void CARICA_LISTA_MOV();

    // The running total that the computations of this window add to.
    const WeekAccumulators &weekAccumulators() const { return m_week; }
    // The number of the record chosen or last read, as text.
    QString recordKey() const { return m_recordKey; }

    QSize sizeHint() const override;

signals:
    // The window was closed with its close box (the archive stays open).
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The texts of the record last read, listed or prepared by "Nuovo".
    struct CurrentRecord
    {
        QString numero, anno, mese, giorno, note;
    };

    // Form2Layout.cpp: the window and its controls as the design lays them out.
    void buildWindow();
    void buildControls();
    QLabel *addLabel(const char *name, const QString &caption, int left, int top, int width, int height);
    QLineEdit *addBox(const char *name, QLabel *label, int left, int top, int width, int height);
    QPushButton *addButton(const char *name, const QString &caption, int left, int top, int width,
                           int height);

    bool LEGGE_MOV();
    void MOSTRA_CAMPI_MOV_MAG();
    // Empties the number, date, time and day boxes after a pick that could not show its record.
    void showNoRecord();

    void List1_Click(int row); // a line of the list picked, by mouse or keyboard
    void cmdNUOVO_Click();     // "Nuovo"
    void cmdCONFERMA_Click();  // "Conferma"
    void Command1_Click();     // "Cancella"
    void Command2_Click();     // "Stampa elenco"
    void cmdFINE_Click();      // "F i n e"

    BoxTexts boxTexts() const;
    void showReadOuts(const BoxTexts &texts);
    // CARICA_LISTA_MOV without its report: an archive failure is returned, and the list keeps
    // the lines it showed.
    Outcome fillList();
    // The load step's copy of the list holder's times and durations into the boxes.
    void showLastListedDay();
    // Tells the windows that follow the archive that a write or a deletion went through.
    void notifyArchiveChanged();

    void refuse(const QString &message);
    void report(int code, const QString &text);
    void report(const Outcome &error);
    void reportInvalidKey(const QString &key);
    // What runs before a change (the day's copy): what the user must learn of it, told in the
    // message about the change.
    QString beforeWrite();
    // After a change that went through (`done`: "registrato", "cancellato"): the list filled again,
    // and one message for whatever else there is to say, a list that cannot be read again or
    // `note` from beforeWrite(), or none.
    void afterChange(const QString &done, const QString &note);

    Archive &m_archive;
    Services m_services;
    LinePrinter &m_printer;

    WeekAccumulators m_week;
    BoxTexts m_listHolder; // what the list fill computes on; its buffers live from fill to fill
    QString m_recordKey;
    CurrentRecord m_current;
    PendingError m_pending;

    MovementListModel *m_model = nullptr;
    MovementListView *m_List1 = nullptr;
    QLineEdit *m_txtNUM_MOV = nullptr;
    QLineEdit *m_txtGIORNO = nullptr;
    QLineEdit *m_txtMESE = nullptr;
    QLineEdit *m_txtANNO = nullptr;
    QLineEdit *m_txtORA_INIZIO1 = nullptr;
    QLineEdit *m_txtORA_FINE1 = nullptr;
    QLineEdit *m_txtORA_INIZIO2 = nullptr;
    QLineEdit *m_txtORA_FINE2 = nullptr;
    QLineEdit *m_txtORA_INIZIO3 = nullptr;
    QLineEdit *m_txtORA_FINE3 = nullptr;
    QLineEdit *m_txtTOTALE_GENERALE = nullptr;
    QLineEdit *m_txtTOTALE_1 = nullptr;
    QLineEdit *m_txtTOTALE_2 = nullptr;
    QLineEdit *m_txtTOTALE_3 = nullptr;
    QLineEdit *m_txtTOTALE_GEN_SETTIMANA = nullptr;
    QPushButton *m_Command2 = nullptr;
    QPushButton *m_Command1 = nullptr;
    QPushButton *m_cmdNUOVO = nullptr;
    QPushButton *m_cmdCONFERMA = nullptr;
    QPushButton *m_cmdFINE = nullptr;
};

} // namespace zelvaro
