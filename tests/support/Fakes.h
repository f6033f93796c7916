#pragma once

#include "PlatformServices.h"

#include <QDate>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace zelvaro::test {

class FakeBeep : public BeepService
{
public:
    void beep() override { ++count; }
    int count = 0;
};

// A message box that replays scripted answers and records every box shown. A box for which no
// answer was scripted is recorded in `unexpected` and answered No/Ok, so a test never hangs; the
// test checks `unexpected` in its cleanup().
class FakeMessageBox : public MessageBoxService
{
public:
    struct Shown
    {
        QString text;
        QString title; // as passed: empty means the application title
        Icon icon;
        Buttons buttons;
        bool systemModal;
        int beepsBefore; // beeps sounded since the previous box
    };

    explicit FakeMessageBox(FakeBeep *beep = nullptr) : m_beep(beep) {}

    // Queue the answer for the next box (Ok for an OK box, Yes/No for a question).
    void expect(Answer answer) { m_script.push_back(answer); }
    void expectOk(int count = 1) { m_script.append(QList<Answer>(count, Answer::Ok)); }

    Answer show(const QString &text, const QString &title, Icon icon, Buttons buttons,
                bool systemModal = false) override
    {
        const int beeps = m_beep ? m_beep->count : 0;
        shown.append(Shown{text, title, icon, buttons, systemModal, beeps - m_beepsSeen});
        m_beepsSeen = beeps;
        if (m_script.isEmpty()) {
            unexpected.append(text);
            return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
        }
        return m_script.takeFirst();
    }

    QList<Shown> shown;
    QStringList unexpected;
    QStringList texts() const
    {
        QStringList result;
        for (const Shown &s : shown)
            result.append(s.text);
        return result;
    }
    int pending() const { return int(m_script.size()); }

private:
    QList<Answer> m_script;
    FakeBeep *m_beep;
    int m_beepsSeen = 0;
};

class FakePointer : public BusyPointer
{
public:
    void setBusy(bool b) override
    {
        busy = b;
        history.append(b);
    }
    bool busy = false;
    QList<bool> history;
};

class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime when = QDateTime(QDate(2004, 3, 5), QTime(9, 15, 30))) : when(when) {}
    QDate today() const override { return when.date(); }
    QDateTime now() const override { return when; }
    QDateTime when;
};

class FakeProgramEnd : public ProgramEnd
{
public:
    void endProgram(int status) override { statuses.append(status); }
    QList<int> statuses; // of each call
};

class FakeInstanceGuard : public InstanceGuard
{
public:
    bool anotherCopyRunning() override { return another; }
    bool another = false;
};

class FakeProgramFolder : public ProgramFolder
{
public:
    explicit FakeProgramFolder(QString p = {}) : folder(std::move(p)) {}
    QString path() const override { return folder; }
    QString folder;
};

// File dialogs that answer from a script of paths ("" cancels) and record the path each one
// proposed (and, for a save dialog, whether it would ask before replacing a file). A dialog with
// no answer scripted is recorded as unexpected and cancelled.
class FakeFileDialog : public FileDialogService
{
public:
    QString saveFileName(const QString &title, const QString &path, const QString &,
                         bool askToReplace) override
    {
        asksToReplace.append(askToReplace);
        return openFileName(title, path, {});
    }
    QString openFileName(const QString &title, const QString &folder, const QString &) override
    {
        proposed.append(folder);
        if (script.isEmpty())
            unexpected.append(title);
        return script.isEmpty() ? QString() : script.takeFirst();
    }
    QStringList script, proposed, unexpected;
    QList<bool> asksToReplace;
};

// Folders remembered in memory: a dialog starts in the folder remembered for it, else in `documents`.
class FakeRememberedFolders : public RememberedFolders
{
public:
    QString folderFor(const QString &dialog) const override { return remembered.value(dialog, documents); }
    void remember(const QString &dialog, const QString &chosenPath) override
    {
        remembered.insert(dialog, QFileInfo(chosenPath).absolutePath());
    }
    QString documents = QStringLiteral("/documenti");
    QMap<QString, QString> remembered; // by dialog
};

// Progress that shows nothing and cancels from the first step for which `cancelWhen` (when set)
// answers true.
class FakeProgress : public ProgressService, public Progress
{
public:
    std::unique_ptr<Progress> begin(const QString &) override
    {
        struct Step : Progress // the progress of one piece of work: this one's answers
        {
            FakeProgress *owner;
            explicit Step(FakeProgress *o) : owner(o) {}
            bool step(qint64 done, qint64 total) override { return owner->step(done, total); }
        };
        cancelled = false;
        return std::make_unique<Step>(this);
    }
    bool step(qint64 done, qint64 total) override
    {
        cancelled = cancelled || (cancelWhen && cancelWhen(done, total));
        return !cancelled;
    }
    std::function<bool(qint64 done, qint64 total)> cancelWhen;
    bool cancelled = false;
};

// All fakes wired together, with a Services bundle pointing at them.
struct FakeServices
{
    FakeBeep beep;
    FakeMessageBox messages{&beep};
    FakePointer pointer;
    FixedClock clock;
    FakeProgramEnd end;
    ArchiveEvents events;
    FakeFileDialog files;
    FakeProgress progress;
    FakeRememberedFolders folders;
    Services services()
    {
        return {&messages, &beep, &pointer, &clock, &end, &events, &files, nullptr, &progress, &folders};
    }
};

} // namespace zelvaro::test
