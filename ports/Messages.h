#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Message boxes: how the widget-free code talks to the user.

enum class MsgIcon { Critical, Exclamation, Question, Information };
enum class MsgButtons { Ok, YesNo, OkCancel, RetryCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No, Retry };

namespace texts {
inline const QString kProgramTitle = QStringLiteral("Kennel 2001");
// A copy that failed; also said where a file cannot be replaced.
inline const QString kMsgFileError = QStringLiteral("ファイルエラーが発生しました。");
} // namespace texts

// Every message box goes through show(), which also prints it to the logging category
// "kennel.messages" (off by default; QT_LOGGING_RULES="kennel.messages.debug=true"), so
// that scripts driving the real program see what it said, and appends it to the log
// (ports/LogFile.h). Implementations answer ask().
class MessagePort {
public:
    virtual ~MessagePort() = default;

    // The caption is "Kennel 2001" unless a window names another.
    MsgAnswer show(const QString& text, MsgIcon icon, MsgButtons buttons,
                   const QString& caption = texts::kProgramTitle);
    void critical(const QString& text) { show(text, MsgIcon::Critical, MsgButtons::Ok); }
    void exclamation(const QString& text) { show(text, MsgIcon::Exclamation, MsgButtons::Ok); }
    void information(const QString& text) { show(text, MsgIcon::Information, MsgButtons::Ok); }
    // The question icon, Yes the default; true for Yes.
    bool askYesNo(const QString& text) { return show(text, MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes; }

    // A file or folder operation failed: "ファイルエラーが発生しました。" with a line per cause
    // (ports/Causes.h). Inside a FileErrorGroup the box waits for the group's end.
    void fileError(const QStringList& causes);
    // Shows a waiting file error box, if any; every other message shows it first.
    void tellFileError();

protected:
    virtual MsgAnswer ask(const QString& caption, const QString& text, MsgIcon icon, MsgButtons buttons) = 0;

private:
    friend class FileErrorGroup;
    int fileErrorGroups_ = 0;
    std::optional<QStringList> pendingCauses_;
};
