#include "ui/controls/cCommonDlg.h"

#include "platform/JapaneseDialogs.h"

#include <QFileDialog>

namespace {
cCommonDlg::Chooser& chooserHook()
{
    static cCommonDlg::Chooser hook;
    return hook;
}

std::optional<QString> runQtDialog(const cCommonDlg& dlg)
{
    QFileDialog box(dlg.Form(), dlg.DialogTitle(), dlg.InitDir());
    makeJapanese(box);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    box.setNameFilters(dlg.nameFilters());
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}
} // namespace

void cCommonDlg::setChooser(Chooser chooser)
{
    chooserHook() = std::move(chooser);
}

QStringList cCommonDlg::nameFilters() const
{
    QStringList parts = filter_.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.constLast().isEmpty())
        parts.removeLast();
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The description usually names its patterns already: "LHA Archive (*.lzh)".
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            out << description;
        else
            out << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return out;
}

void cCommonDlg::ShowOpen()
{
    if (!form_)
        return;
    const std::optional<QString> chosen = chooserHook() ? chooserHook()(*this) : runQtDialog(*this);
    if (chosen && !chosen->isEmpty()) {
        fileName_ = *chosen;
        return;
    }
    cancelled_ = true;
    fileName_.clear();
}
