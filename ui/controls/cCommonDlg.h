#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// The open-file chooser the restore page uses: the caller sets the title, the filter and the
// start folder, calls ShowOpen and reads CancelButton and FileName. The chooser itself can be
// replaced (tests, scripts) through setChooser; without one a QFileDialog is shown.
class cCommonDlg {
public:
    // Given the instance (title, filters, start folder), returns the chosen path or nothing
    // for a cancel.
    using Chooser = std::function<std::optional<QString>(const cCommonDlg& dlg)>;
    static void setChooser(Chooser chooser);

    // The window the chooser belongs to; without one nothing is shown.
    void setForm(QWidget* form) { form_ = form; }
    QWidget* Form() const { return form_; }
    void setDialogTitle(const QString& title) { title_ = title; }
    QString DialogTitle() const { return title_; }
    // "description|pattern|..." as the caller writes it; a final "|" may be missing.
    void setFilter(const QString& filter) { filter_ = filter; }
    // The same list as file-dialog name filters: "description (pattern)".
    QStringList nameFilters() const;
    void setInitDir(const QString& folder) { initDir_ = folder; }
    QString InitDir() const { return initDir_; }

    // Lets the user choose an existing file. A cancel empties FileName and sets CancelButton.
    void ShowOpen();
    bool CancelButton() const { return cancelled_; }
    QString FileName() const { return fileName_; }

private:
    QPointer<QWidget> form_;
    QString title_ = QStringLiteral("Open File");
    QString filter_;
    QString initDir_;
    QString fileName_;
    bool cancelled_ = false;
};
