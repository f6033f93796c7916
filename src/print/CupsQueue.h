#pragma once

#include <QByteArray>
#include <QPageSize>
#include <QString>

#include <memory>

namespace zelvaro {

// The printer a document is sent to, as the print service (CUPS) knows it: the server named by
// CUPS_SERVER or client.conf, else the local one.
class CupsQueue
{
public:
    // Asks the service for its printers and keeps the default one, else the first by name.
    CupsQueue();
    ~CupsQueue();
    CupsQueue(const CupsQueue &) = delete;
    CupsQueue &operator=(const CupsQueue &) = delete;

    bool serviceAnswers() const { return m_answers; }
    bool hasPrinter() const;
    QString name() const { return m_name; } // empty without a printer
    bool isDefault() const { return m_isDefault; }
    int printerCount() const { return m_count; }
    bool stopped() const { return m_stopped; }
    // The printer's default media; A4 when the service names none it knows.
    QPageSize pageSize() const;

    struct Submission
    {
        enum class Status { Sent, NotAccepting, Unreachable, Refused } status = Status::Refused;
        int jobId = 0;
        QString reason; // the service's words when Refused
    };
    // Sends a PDF document to the printer as one job named `title`; a job the service refused
    // halfway is cancelled.
    Submission submit(const QByteArray &pdf, const QString &title);

    // The server asked: a socket path or a host name.
    static QString server();
    // The default printer set on this side of the service (LPDEST, PRINTER, the lpoptions of the
    // user and of the system), which is known while the service is down; empty when none.
    static QString configuredDefault();

private:
    struct Dests;
    std::unique_ptr<Dests> m_dests;
    bool m_answers = false;
    QString m_name;
    bool m_isDefault = false;
    int m_count = 0;
    bool m_stopped = false;
};

} // namespace zelvaro
