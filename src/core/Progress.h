#pragma once

#include <QtGlobal>

namespace zelvaro {

// Hears how far a long piece of work has come, and answers whether the user still wants it.
class Progress
{
public:
    virtual ~Progress() = default;
    // `done` units of work out of `total` (0 while the total is not known). Cheap enough to call
    // once per row. False once the user has cancelled, and from then on: the caller stops and
    // leaves nothing behind.
    virtual bool step(qint64 done, qint64 total) = 0;
};

// True when the work may go on: there is no progress to ask, or it did not cancel.
inline bool goOn(Progress *progress, qint64 done, qint64 total)
{
    return progress == nullptr || progress->step(done, total);
}

} // namespace zelvaro
