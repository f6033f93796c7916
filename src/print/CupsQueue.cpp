#include "CupsQueue.h"

#include <QFile>
#include <QSize>
#include <QSizeF>
#include <QStringList>

#include <cups/cups.h>

#include <algorithm>

namespace zelvaro {

struct CupsQueue::Dests
{
    int count = 0;
    cups_dest_t *list = nullptr;
    cups_dest_t *chosen = nullptr;
    cups_dinfo_t *info = nullptr;

    ~Dests()
    {
        cupsFreeDestInfo(info);
        cupsFreeDests(count, list);
    }
    // What the printer supports, asked once when first needed.
    cups_dinfo_t *destInfo()
    {
        if (!info)
            info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, chosen);
        return info;
    }
};

namespace {

QByteArray option(const cups_dest_t *dest, const char *name)
{
    return QByteArray(cupsGetOption(name, dest->num_options, dest->options));
}

// The printer of the "Default name[/instance] options" line of an lpoptions file.
QString lpoptionsDefault(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    while (!file.atEnd()) {
        const QStringList words = QString::fromUtf8(file.readLine()).simplified().split(QLatin1Char(' '));
        if (words.size() >= 2 && words.at(0).compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0)
            return words.at(1);
    }
    return {};
}

// Media sizes are in hundredths of a millimetre, as PWG and IPP give them; empty when unknown.
QSize namedMedia(const QByteArray &name)
{
    if (name.isEmpty())
        return {};
    const pwg_media_t *media = pwgMediaForPWG(name.constData());
    if (!media)
        media = pwgMediaForLegacy(name.constData());
    if (!media)
        media = pwgMediaForPPD(name.constData());
    return media ? QSize(media->width, media->length) : QSize();
}

// The media-size of a media-col value.
QSize mediaColSize(ipp_attribute_t *mediaCol)
{
    ipp_attribute_t *size =
        mediaCol ? ippFindAttribute(ippGetCollection(mediaCol, 0), "media-size", IPP_TAG_BEGIN_COLLECTION)
                 : nullptr;
    if (!size)
        return {};
    ipp_t *dimensions = ippGetCollection(size, 0);
    return QSize(ippGetInteger(ippFindAttribute(dimensions, "x-dimension", IPP_TAG_INTEGER), 0),
                 ippGetInteger(ippFindAttribute(dimensions, "y-dimension", IPP_TAG_INTEGER), 0));
}

} // namespace

CupsQueue::CupsQueue() : m_dests(std::make_unique<Dests>())
{
    Dests &d = *m_dests;
    d.count = cupsGetDests2(CUPS_HTTP_DEFAULT, &d.list);
    m_answers = d.count > 0 || cupsLastError() != IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
    m_count = d.count;
    if (d.count <= 0)
        return;
    d.chosen = cupsGetDest(nullptr, nullptr, d.count, d.list);
    m_isDefault = d.chosen != nullptr;
    if (!d.chosen)
        d.chosen = d.list; // the list is sorted by name
    m_name = QString::fromUtf8(d.chosen->name);
    m_stopped = option(d.chosen, "printer-state").toInt() == IPP_PSTATE_STOPPED;
}

CupsQueue::~CupsQueue() = default;

bool CupsQueue::hasPrinter() const
{
    return m_dests->chosen != nullptr;
}

QPageSize CupsQueue::pageSize() const
{
    QSize size;
    if (hasPrinter()) {
        cups_dest_t *dest = m_dests->chosen;
        // The user's own choice (lpoptions) first, then the printer's default paper.
        size = namedMedia(option(dest, "media").split(',').first());
        if (cups_dinfo_t *info = size.isEmpty() ? m_dests->destInfo() : nullptr) {
            size = mediaColSize(cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media-col"));
            if (size.isEmpty())
                if (ipp_attribute_t *media = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "media"))
                    size = namedMedia(QByteArray(ippGetString(media, 0, nullptr)));
        }
    }
    if (size.isEmpty())
        return QPageSize(QPageSize::A4);
    return QPageSize(QSizeF(size) / 100, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
}

CupsQueue::Submission CupsQueue::submit(const QByteArray &pdf, const QString &title)
{
    Submission result;
    if (!hasPrinter())
        return result;
    cups_dest_t *dest = m_dests->chosen;
    cups_dinfo_t *info = m_dests->destInfo();
    const QByteArray name = title.toUtf8();
    bool sent = false;
    if (info &&
        cupsCreateDestJob(CUPS_HTTP_DEFAULT, dest, info, &result.jobId, name.constData(), 0, nullptr) <=
            IPP_STATUS_OK_CONFLICTING &&
        result.jobId > 0) {
        if (cupsStartDestDocument(CUPS_HTTP_DEFAULT, dest, info, result.jobId, name.constData(),
                                  CUPS_FORMAT_PDF, 0, nullptr, 1) == HTTP_STATUS_CONTINUE) {
            bool written = true;
            constexpr qsizetype kChunk = 64 * 1024;
            for (qsizetype at = 0; written && at < pdf.size(); at += kChunk)
                written =
                    cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData() + at,
                                         size_t(std::min(kChunk, pdf.size() - at))) == HTTP_STATUS_CONTINUE;
            // Finishing reads the service's answer, which also tells why a write failed.
            sent =
                cupsFinishDestDocument(CUPS_HTTP_DEFAULT, dest, info) <= IPP_STATUS_OK_CONFLICTING && written;
        }
    }
    if (sent) {
        result.status = Submission::Status::Sent;
        return result;
    }
    const ipp_status_t error = cupsLastError();
    result.reason = QString::fromUtf8(cupsLastErrorString());
    result.status = error == IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS ? Submission::Status::NotAccepting
                    // A write broken off without an answer: the connection was lost.
                    : error == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || error <= IPP_STATUS_OK_CONFLICTING
                        ? Submission::Status::Unreachable
                        : Submission::Status::Refused;
    // No half a job is left in the queue.
    if (result.jobId > 0)
        cupsCancelDestJob(CUPS_HTTP_DEFAULT, dest, result.jobId);
    result.jobId = 0;
    return result;
}

QString CupsQueue::server()
{
    return QString::fromUtf8(cupsServer());
}

QString CupsQueue::configuredDefault()
{
    QString name = qEnvironmentVariable("LPDEST");
    // As libcups does, PRINTER=lp (a placeholder some systems set) names no printer.
    if (name.isEmpty() && qEnvironmentVariable("PRINTER") != QLatin1String("lp"))
        name = qEnvironmentVariable("PRINTER");
    if (name.isEmpty() && qEnvironmentVariableIsSet("HOME"))
        name = lpoptionsDefault(qEnvironmentVariable("HOME") + QStringLiteral("/.cups/lpoptions"));
    if (name.isEmpty())
        name = lpoptionsDefault(qEnvironmentVariable("CUPS_SERVERROOT", QStringLiteral("/etc/cups")) +
                                QStringLiteral("/lpoptions"));
    return name.section(QLatin1Char('/'), 0, 0); // without the instance
}

} // namespace zelvaro
