// The "Orario e assenze" window as laid out: three tabs, their controls with captions, access keys,
// accessible names and focus order. What the controls do is in OrarioAssenzeWindow.cpp.
#include "OrarioAssenzeWindow.h"

#include "BalanceText.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCharFormat>
#include <QToolButton>
#include <QVBoxLayout>

namespace zelvaro {

namespace {

const QLocale kItalian(QLocale::Italian, QLocale::Italy);

QLineEdit *lineEdit(QWidget *parent, const QString &name, const QString &accessibleName, int maxWidth = 0)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    if (maxWidth > 0)
        box->setMaximumWidth(maxWidth);
    return box;
}

QPushButton *button(QWidget *parent, const QString &text, const char *name, const QString &accessibleName)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(accessibleName);
    b->setAutoDefault(false);
    return b;
}

// A caption whose access key moves to `buddy`.
QLabel *caption(QWidget *parent, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

// Qt names some parts of the calendar in English: they are named in Italian here.
void nameCalendarParts(QCalendarWidget *calendar)
{
    const std::pair<const char *, const char *> parts[] = {{"qt_calendar_prevmonth", "Mese precedente"},
                                                           {"qt_calendar_nextmonth", "Mese successivo"},
                                                           {"qt_calendar_monthbutton", "Mese"},
                                                           {"qt_calendar_yearbutton", "Anno"},
                                                           {"qt_calendar_yearedit", "Anno"},
                                                           {"qt_calendar_calendarview", "Giorni del mese"}};
    for (const auto &[name, accessible] : parts) {
        if (QWidget *part = calendar->findChild<QWidget *>(QLatin1String(name)))
            part->setAccessibleName(QString::fromUtf8(accessible));
    }
}

} // namespace

OrarioAssenzeWindow::OrarioAssenzeWindow(Archive &archive, const Services &services, QWidget *parent)
    : QWidget(parent), m_archive(archive), m_services(services)
{
    Q_ASSERT(m_services.messages && m_services.pointer && m_services.clock);
    setObjectName(QStringLiteral("frmORARIO"));
    setWindowTitle(QStringLiteral("Orario e assenze"));

    // The access keys of the tabs work from every tab: no control inside uses I, C or A.
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabORARIO"));
    m_tabs->setAccessibleName(QStringLiteral("Orario e assenze"));
    m_tabs->tabBar()->setAccessibleName(QStringLiteral("Schede di orario e assenze"));
    auto *settings = new QWidget(m_tabs);
    auto *contract = new QWidget(m_tabs);
    auto *absences = new QWidget(m_tabs);
    m_tabs->addTab(settings, QStringLiteral("&Impostazioni"));
    m_tabs->addTab(contract, QStringLiteral("Orario &contrattuale"));
    m_tabs->addTab(absences, QStringLiteral("&Assenze"));
    buildSettingsTab(settings);
    buildContractTab(contract);
    buildAbsencesTab(absences);
    calendarDayChosen(); // Dal and Al start at today

    m_txtESITO = new QPlainTextEdit(this);
    m_txtESITO->setObjectName(QStringLiteral("txtESITO"));
    m_txtESITO->setAccessibleName(QStringLiteral("Esito dell'ultima modifica"));
    m_txtESITO->setReadOnly(true);
    m_txtESITO->setTabChangesFocus(true);
    m_txtESITO->setMaximumHeight(fontMetrics().lineSpacing() * 4 + 12);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(m_txtESITO);
    setFocusProxy(m_tabs);

    reload();
}

QSize OrarioAssenzeWindow::sizeHint() const
{
    return QSize(700, 440);
}

void OrarioAssenzeWindow::buildSettingsTab(QWidget *tab)
{
    m_txtNOME = lineEdit(tab, QStringLiteral("txtNOME"), QStringLiteral("Nome del dipendente"));
    m_txtDATORE = lineEdit(tab, QStringLiteral("txtDATORE"), QStringLiteral("Datore di lavoro"));
    m_txtPATRONO =
        lineEdit(tab, QStringLiteral("txtPATRONO"), QStringLiteral("Santo patrono, giorno e mese"), 80);
    m_txtSALDO_INIZIALE = lineEdit(tab, QStringLiteral("txtSALDO_INIZIALE"),
                                   QStringLiteral("Saldo iniziale in ore e minuti"), 100);
    m_txtPATRONO->setPlaceholderText(QStringLiteral("GG/MM"));
    m_txtSALDO_INIZIALE->setPlaceholderText(QStringLiteral("H.MM"));

    auto *form = new QFormLayout;
    form->addRow(caption(tab, QStringLiteral("&Nome del dipendente:"), m_txtNOME), m_txtNOME);
    form->addRow(caption(tab, QStringLiteral("&Datore di lavoro:"), m_txtDATORE), m_txtDATORE);
    form->addRow(caption(tab, QStringLiteral("Santo &patrono (GG/MM, vuoto per nessuno):"), m_txtPATRONO),
                 m_txtPATRONO);
    form->addRow(
        caption(tab, QStringLiteral("&Saldo iniziale (H.MM, con - se negativo):"), m_txtSALDO_INIZIALE),
        m_txtSALDO_INIZIALE);
    auto *hint =
        new QLabel(QStringLiteral("Ogni valore si salva con Invio o passando a un altro campo. Il saldo "
                                  "iniziale è la banca ore alla prima data dell'orario contrattuale."),
                   tab);
    hint->setWordWrap(true);
    auto *layout = new QVBoxLayout(tab);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addStretch();
    setTabOrder(m_txtNOME, m_txtDATORE);
    setTabOrder(m_txtDATORE, m_txtPATRONO);
    setTabOrder(m_txtPATRONO, m_txtSALDO_INIZIALE);

    for (QLineEdit *box : {m_txtNOME, m_txtDATORE, m_txtPATRONO, m_txtSALDO_INIZIALE})
        connect(box, &QLineEdit::editingFinished, this, [this, box] { settingEdited(box); });
}

void OrarioAssenzeWindow::buildContractTab(QWidget *tab)
{
    static const char *const days[] = {"Lun", "Mar", "Mer", "Gio", "Ven", "Sab", "Dom"};
    static const char *const dayNames[] = {"lunedì",  "martedì", "mercoledì", "giovedì",
                                           "venerdì", "sabato",  "domenica"};
    m_grdORARIO = new QTableWidget(0, 8, tab);
    m_grdORARIO->setObjectName(QStringLiteral("grdORARIO"));
    m_grdORARIO->setAccessibleName(QStringLiteral("Orari contrattuali registrati"));
    QStringList headers{QStringLiteral("Dal")};
    for (const char *day : days)
        headers << QLatin1String(day);
    m_grdORARIO->setHorizontalHeaderLabels(headers);
    m_grdORARIO->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdORARIO->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grdORARIO->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grdORARIO->setTabKeyNavigation(false);
    m_grdORARIO->verticalHeader()->hide();

    m_txtDAL_ORARIO =
        lineEdit(tab, QStringLiteral("txtDAL_ORARIO"), QStringLiteral("Orario valido dal giorno"), 110);
    m_txtDAL_ORARIO->setPlaceholderText(QStringLiteral("GG/MM/AAAA"));
    auto *hours = new QGridLayout;
    for (int day = 0; day < 7; ++day) {
        m_txtORE[day] = lineEdit(tab, QStringLiteral("txtORE_") + QString::fromLatin1(days[day]).toUpper(),
                                 QStringLiteral("Ore del ") + QString::fromUtf8(dayNames[day]), 70);
        m_txtORE[day]->setPlaceholderText(QStringLiteral("H.MM"));
        hours->addWidget(new QLabel(QLatin1String(days[day]), tab), 0, day);
        hours->addWidget(m_txtORE[day], 1, day);
    }
    m_cmdREGISTRA_ORARIO = button(tab, QStringLiteral("&Registra orario"), "cmdREGISTRA_ORARIO",
                                  QStringLiteral("Registra l'orario contrattuale da quel giorno"));
    m_cmdTOGLI_ORARIO = button(tab, QStringLiteral("&Togli orario"), "cmdTOGLI_ORARIO",
                               QStringLiteral("Togli l'orario contrattuale che parte da quel giorno"));

    auto *entry = new QHBoxLayout;
    entry->addWidget(caption(tab, QStringLiteral("&Dal (GG/MM/AAAA):"), m_txtDAL_ORARIO));
    entry->addWidget(m_txtDAL_ORARIO);
    entry->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdREGISTRA_ORARIO);
    buttons->addWidget(m_cmdTOGLI_ORARIO);
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(
        caption(tab, QStringLiteral("&Orari registrati (ognuno vale fino al successivo):"), m_grdORARIO));
    layout->addWidget(m_grdORARIO, 1);
    layout->addLayout(entry);
    layout->addWidget(caption(tab, QStringLiteral("Ore &previste per giorno (H.MM):"), m_txtORE[0]));
    layout->addLayout(hours);
    layout->addLayout(buttons);
    setTabOrder(m_grdORARIO, m_txtDAL_ORARIO);
    setTabOrder(m_txtDAL_ORARIO, m_txtORE[0]);
    for (int day = 1; day < 7; ++day)
        setTabOrder(m_txtORE[day - 1], m_txtORE[day]);
    setTabOrder(m_txtORE[6], m_cmdREGISTRA_ORARIO);
    setTabOrder(m_cmdREGISTRA_ORARIO, m_cmdTOGLI_ORARIO);

    connect(m_grdORARIO, &QTableWidget::itemSelectionChanged, this,
            &OrarioAssenzeWindow::contractEntryPicked);
    connect(m_cmdREGISTRA_ORARIO, &QPushButton::clicked, this,
            &OrarioAssenzeWindow::cmdREGISTRA_ORARIO_Click);
    connect(m_cmdTOGLI_ORARIO, &QPushButton::clicked, this, &OrarioAssenzeWindow::cmdTOGLI_ORARIO_Click);
}

void OrarioAssenzeWindow::buildAbsencesTab(QWidget *tab)
{
    m_calASSENZE = new QCalendarWidget(tab);
    m_calASSENZE->setObjectName(QStringLiteral("calASSENZE"));
    m_calASSENZE->setAccessibleName(QStringLiteral("Calendario delle assenze"));
    m_calASSENZE->setLocale(kItalian);
    m_calASSENZE->setFirstDayOfWeek(Qt::Monday);
    m_calASSENZE->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    m_calASSENZE->setSelectedDate(m_services.clock->today());
    nameCalendarParts(m_calASSENZE);

    m_lstASSENZE = new QListWidget(tab);
    m_lstASSENZE->setObjectName(QStringLiteral("lstASSENZE"));
    m_lstASSENZE->setAccessibleName(QStringLiteral("Assenze e festività del mese mostrato"));

    m_txtDAL = lineEdit(tab, QStringLiteral("txtDAL"), QStringLiteral("Primo giorno dell'assenza"), 110);
    m_txtAL = lineEdit(tab, QStringLiteral("txtAL"), QStringLiteral("Ultimo giorno dell'assenza"), 110);
    for (QLineEdit *box : {m_txtDAL, m_txtAL})
        box->setPlaceholderText(QStringLiteral("GG/MM/AAAA"));
    m_cboTIPO = new QComboBox(tab);
    m_cboTIPO->setObjectName(QStringLiteral("cboTIPO"));
    m_cboTIPO->setAccessibleName(QStringLiteral("Tipo di assenza"));
    for (const AbsenceType type : {AbsenceType::Ferie, AbsenceType::Malattia, AbsenceType::Permesso,
                                   AbsenceType::Festivita, AbsenceType::Recupero})
        m_cboTIPO->addItem(absenceTypeName(type), absenceTypeWord(type));
    m_txtORE_ASSENZA =
        lineEdit(tab, QStringLiteral("txtORE_ASSENZA"),
                 QStringLiteral("Ore di ogni giorno di assenza, vuoto per le ore previste"), 70);
    m_txtORE_ASSENZA->setPlaceholderText(QStringLiteral("H.MM"));
    m_cmdREGISTRA_ASSENZA = button(tab, QStringLiteral("&Registra assenza"), "cmdREGISTRA_ASSENZA",
                                   QStringLiteral("Registra l'assenza nei giorni da Dal ad Al"));
    m_cmdTOGLI_ASSENZE = button(tab, QStringLiteral("To&gli assenze"), "cmdTOGLI_ASSENZE",
                                QStringLiteral("Togli le assenze dei giorni da Dal ad Al"));

    auto *form = new QFormLayout;
    form->addRow(caption(tab, QStringLiteral("&Dal:"), m_txtDAL), m_txtDAL);
    form->addRow(caption(tab, QStringLiteral("A&l:"), m_txtAL), m_txtAL);
    form->addRow(caption(tab, QStringLiteral("&Tipo:"), m_cboTIPO), m_cboTIPO);
    form->addRow(caption(tab, QStringLiteral("&Ore al giorno:"), m_txtORE_ASSENZA), m_txtORE_ASSENZA);
    auto *hint =
        new QLabel(QStringLiteral("Ore vuote: quelle previste dall'orario. Il giorno scelto nel calendario "
                                  "diventa Dal e Al; tenendo premuto Maiusc diventa solo Al."),
                   tab);
    hint->setWordWrap(true);
    auto *side = new QVBoxLayout;
    side->addLayout(form);
    side->addWidget(hint);
    side->addWidget(m_cmdREGISTRA_ASSENZA);
    side->addWidget(m_cmdTOGLI_ASSENZE);
    side->addWidget(caption(tab, QStringLiteral("Assenze del &mese:"), m_lstASSENZE));
    side->addWidget(m_lstASSENZE, 1);
    auto *layout = new QHBoxLayout(tab);
    auto *calendar = new QVBoxLayout;
    calendar->addWidget(caption(tab, QStringLiteral("Cal&endario:"), m_calASSENZE));
    calendar->addWidget(m_calASSENZE);
    calendar->addStretch();
    layout->addLayout(calendar, 3);
    layout->addLayout(side, 2);
    setTabOrder(m_calASSENZE, m_txtDAL);
    setTabOrder(m_txtDAL, m_txtAL);
    setTabOrder(m_txtAL, m_cboTIPO);
    setTabOrder(m_cboTIPO, m_txtORE_ASSENZA);
    setTabOrder(m_txtORE_ASSENZA, m_cmdREGISTRA_ASSENZA);
    setTabOrder(m_cmdREGISTRA_ASSENZA, m_cmdTOGLI_ASSENZE);
    setTabOrder(m_cmdTOGLI_ASSENZE, m_lstASSENZE);

    connect(m_calASSENZE, &QCalendarWidget::currentPageChanged, this, &OrarioAssenzeWindow::showMonth);
    connect(m_calASSENZE, &QCalendarWidget::selectionChanged, this, &OrarioAssenzeWindow::calendarDayChosen);
    connect(m_lstASSENZE, &QListWidget::currentRowChanged, this, [this](int row) {
        if (const QListWidgetItem *item = m_lstASSENZE->item(row))
            m_calASSENZE->setSelectedDate(item->data(Qt::UserRole).toDate());
    });
    connect(m_cmdREGISTRA_ASSENZA, &QPushButton::clicked, this,
            &OrarioAssenzeWindow::cmdREGISTRA_ASSENZA_Click);
    connect(m_cmdTOGLI_ASSENZE, &QPushButton::clicked, this, &OrarioAssenzeWindow::cmdTOGLI_ASSENZE_Click);
}

} // namespace zelvaro
