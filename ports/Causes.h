#pragma once

#include <QString>
#include <QStringList>

class MessagePort;

// Why a file or folder operation failed, as the lines a message shows below its own text:
// the path and the system's reason.
namespace causes {

// The system's text for an errno value (in the user's language where the system has one).
QString reason(int error);
// "path（reason）".
QString line(const QString& path, const QString& reason);
QString line(const QString& path, int error);
// Why path cannot be used: missing or unreadable (by lstat), a link, or else `error`.
QString ofPath(const QString& path, int error);

// text with the cause lines below it; past `shown` lines the rest are counted, and the log
// holds them all.
QString below(const QString& text, const QStringList& lines, int shown = 8);

} // namespace causes

// One operation, one box: while a group lives, the file errors its copies meet gather into one
// "ファイルエラーが発生しました。" box listing every cause, shown when the outermost group ends
// or before any other message. Groups nest.
class FileErrorGroup {
public:
    explicit FileErrorGroup(MessagePort& messages);
    ~FileErrorGroup();
    FileErrorGroup(const FileErrorGroup&) = delete;
    FileErrorGroup& operator=(const FileErrorGroup&) = delete;

private:
    MessagePort& messages_;
    int unwinding_;
};
