// The hours window as the design draws it: positions and sizes in twips, colours, fonts, captions,
// accessible names and the focus order of every control. What the controls do is in Form2.cpp.
#include "Form2.h"

#include "MovementListModel.h"
#include "MovementListView.h"

#include <QApplication>
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

void Form2::buildWindow()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Zelvaro"));
    setAccessibleName(QStringLiteral("Registro delle ore"));
    setWindowIcon(makeWindowIcon());
    resize(px(10665), px(6510));
    setFont(windowFont());
    buildControls();
}

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

} // namespace zelvaro
