#include "ArchiveRepair.h"

#include "Texts.h"
#include "ToolTexts.h"

namespace zelvaro {

namespace {

constexpr qsizetype kListed = 20;

// The first entries of a long list, and how many more there are.
QString listed(const QStringList &entries)
{
    QString text = entries.mid(0, kListed).join(QStringLiteral("; "));
    if (entries.size() > kListed)
        text += QStringLiteral("; e altre ") + QString::number(entries.size() - kListed);
    return text;
}

QString rowsText(qint64 rows)
{
    return rows == 1 ? QStringLiteral("1 riga") : QString::number(rows) + QStringLiteral(" righe");
}

} // namespace

QPair<QStringList, QStringList> repairReportLines(const RepairReport &report, const QString &source,
                                                  const QString &destination, qint64 elapsedMs)
{
    QStringList out, err;
    if (report.rolledBack)
        out.append(QStringLiteral("Prima della lettura SQLite ha annullato una modifica di ") +
                   quoted(source) + QStringLiteral(" rimasta interrotta, come fa Zelvaro all'apertura."));
    out.append((report.saved == 1 ? QStringLiteral("Salvata ") : QStringLiteral("Salvate ")) +
               rowsText(report.saved) + QStringLiteral(" di MOV_MAG da ") + quoted(source) +
               QStringLiteral(" in ") + quoted(destination) + QStringLiteral(" in ") +
               secondsText(elapsedMs));
    if (!report.balanceTables.isEmpty()) {
        QStringList tables;
        for (const auto &[name, rows] : report.balanceTables)
            tables.append(name + QLatin1Char(' ') + rowsText(rows));
        out.append(QStringLiteral("Salvate anche le tabelle del saldo ore: ") +
                   tables.join(QStringLiteral(", ")));
    }
    if (report.lossless()) {
        out.append(QStringLiteral("Nessuna riga persa: SQLite non trova danni in ") + quoted(source) +
                   QStringLiteral(" e ogni riga è stata letta e salvata."));
        return {out, err};
    }

    if (!report.damage.isEmpty())
        err.append(QStringLiteral("danni in ") + quoted(source) + QStringLiteral(": ") +
                   report.damage.join(QStringLiteral("; ")));
    if (report.highest <= 0)
        err.append(QStringLiteral("nessuna riga di MOV_MAG con NUM_MOV maggiore di 0 è stata trovata"));
    else if (report.missing.isEmpty())
        err.append(QStringLiteral("nessun NUM_MOV da 1 a ") + QString::number(report.highest) +
                   QStringLiteral(" (il più alto trovato) manca nel nuovo archivio"));
    else
        err.append(QStringLiteral("NUM_MOV da 1 a ") + QString::number(report.highest) +
                   QStringLiteral(" (il più alto trovato) che mancano nel nuovo archivio, righe perse o "
                                  "cancellate prima del danno: ") +
                   report.missing.join(QStringLiteral("; ")));
    if (report.tailUnknown)
        err.append(QStringLiteral("la fine della tabella MOV_MAG non si è letta: anche righe con NUM_MOV "
                                  "oltre ") +
                   QString::number(std::max<qint64>(report.highest, 0)) +
                   QStringLiteral(", se c'erano, sono perse"));
    if (!report.unreadable.isEmpty())
        err.append(QStringLiteral("righe lette ma non salvate: ") + listed(report.unreadable));
    if (!report.duplicates.isEmpty())
        err.append(QStringLiteral("altre copie di righe già salvate, non salvate: ") +
                   listed(report.duplicates));
    if (!report.fromOrphans.isEmpty())
        err.append(QStringLiteral("righe salvate da pagine che la tabella non raggiunge più (controllarle: "
                                  "possono essere righe cancellate in passato): ") +
                   listed(report.fromOrphans));
    if (!report.outOfPlace.isEmpty())
        err.append(QStringLiteral("righe salvate con un numero fuori dall'intervallo della loro pagina "
                                  "(il numero può essere alterato: controllarle): ") +
                   listed(report.outOfPlace));
    err.append(
        QStringLiteral("salvate ") + rowsText(report.saved) +
        QStringLiteral(" di MOV_MAG, ma le righe lette da pagine danneggiate possono essere alterate: "
                       "confrontarle con una copia giornaliera (in ~/.local/share/zelvaro/copie/) prima "
                       "di usare il nuovo archivio"));
    return {out, err};
}

} // namespace zelvaro
