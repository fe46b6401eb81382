#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The open-file chooser the restore page uses. The caller sets the members, calls ShowOpen
// and reads CancelButton and FileName. The chooser itself can be replaced (tests, scripts)
// through setChooser; without one a QFileDialog is shown.
class cCommonDlg {
public:
    // Given the instance (title, filters, start folder, flags), returns the chosen path or
    // nothing for a cancel. Action 1 is open, 2 save.
    using Chooser = std::function<std::optional<QString>(const cCommonDlg& dlg, int action)>;
    static void setChooser(Chooser chooser);

    // Flags with a meaning here.
    static constexpr quint32 kFileMustExist = 0x1000;
    static constexpr quint32 kPathMustExist = 0x800;
    static constexpr quint32 kHideReadOnly = 0x4;

    cCommonDlg();

    void setForm(QWidget* form);
    QWidget* Form() const { return form_; }
    void setDialogTitle(const QString& title) { title_ = title; }
    QString DialogTitle() const { return title_; }
    // "description|pattern|..." as the caller writes it; each "|" becomes a NUL, and the
    // list ends with exactly one NUL.
    void setFilter(const QString& filter);
    QString Filter() const { return filter_; }
    QString platformFilter() const { return platformFilter_; }
    // The same list as file-dialog name filters: "description (pattern)".
    QStringList nameFilters() const;
    void setFilterIndex(int index) { filterIndex_ = index; }
    int FilterIndex() const { return filterIndex_; }
    void setFlags(quint32 flags) { flags_ = flags; }
    quint32 Flags() const { return flags_; }
    void setInitDir(const QString& folder) { initDir_ = folder; }
    QString InitDir() const { return initDir_; }
    void setCancelError(bool on) { cancelError_ = on; }
    bool CancelError() const { return cancelError_; }
    void setMaxFileSize(int size) { maxFileSize_ = size; }
    int MaxFileSize() const { return maxFileSize_; }
    void setFileName(const QString& name) { fileName_ = name; }
    QString FileName() const { return fileName_; }
    QString FileTitle() const { return fileTitle_; }
    // The file name as the chooser starts with it: at most MaxFileSize - 1 characters.
    QString fileBuffer() const;

    void ShowOpen();
    void ShowSave();
    // True once a cancel was reported (CancelError on); never cleared by a later show.
    bool CancelButton() const { return cancelPressed_; }
    int Action() const { return action_; }

    int ErrNumber() const { return errNumber_; }
    void setErrNumber(int number) { errNumber_ = number; }
    QString ErrDescription() const { return errDescription(errNumber_); }
    static QString errDescription(int number);

private:
    void showFileDialog(int action);

    QPointer<QWidget> form_;
    bool hasForm_ = false;
    QString title_ = QStringLiteral("Open File");
    QString filter_;
    QString platformFilter_ = QStringLiteral("All Files (*.*)") + QChar(0) + QStringLiteral("*.*") + QChar(0);
    int filterIndex_ = 0;
    quint32 flags_ = 0;
    QString initDir_;
    int maxFileSize_ = 255;
    QString fileName_;
    QString fileTitle_;
    bool cancelError_ = false;
    bool cancelPressed_ = false;
    int action_ = 0;
    int lastResult_ = 0;
    int errNumber_ = 0;
};
