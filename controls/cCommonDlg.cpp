#include "controls/cCommonDlg.h"

#include "controls/JapaneseDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>

namespace {
cCommonDlg::Chooser& chooserHook()
{
    static cCommonDlg::Chooser hook;
    return hook;
}

std::optional<QString> runQtDialog(const cCommonDlg& dlg, int action)
{
    QFileDialog box(dlg.Form(), dlg.DialogTitle(), dlg.InitDir());
    makeJapanese(box);
    box.setAcceptMode(action == 2 ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(action == 1 && (dlg.Flags() & cCommonDlg::kFileMustExist) ? QFileDialog::ExistingFile
                                                                               : QFileDialog::AnyFile);
    box.setOption(QFileDialog::ReadOnly, false);
    const QStringList filters = dlg.nameFilters();
    box.setNameFilters(filters);
    if (dlg.FilterIndex() >= 1 && dlg.FilterIndex() <= filters.size())
        box.selectNameFilter(filters.at(dlg.FilterIndex() - 1));
    if (!dlg.fileBuffer().isEmpty())
        box.selectFile(dlg.fileBuffer());
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}
}  // namespace

void cCommonDlg::setChooser(Chooser chooser)
{
    chooserHook() = std::move(chooser);
}

cCommonDlg::cCommonDlg() : initDir_(QDir::currentPath()) {}

void cCommonDlg::setForm(QWidget* form)
{
    form_ = form;
    hasForm_ = form != nullptr;
}

void cCommonDlg::setFilter(const QString& filter)
{
    filter_ = filter;
    QString converted = filter;
    converted.replace(QLatin1Char('|'), QChar(0));
    if (!converted.endsWith(QChar(0)))
        converted += QChar(0);
    platformFilter_ = converted;
}

QStringList cCommonDlg::nameFilters() const
{
    QStringList parts = platformFilter_.split(QChar(0));
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

QString cCommonDlg::fileBuffer() const
{
    return fileName_.left(std::max(0, maxFileSize_ - 1));
}

void cCommonDlg::ShowOpen()
{
    showFileDialog(1);
}

void cCommonDlg::ShowSave()
{
    showFileDialog(2);
}

void cCommonDlg::showFileDialog(int action)
{
    action_ = action;
    lastResult_ = 0;
    errNumber_ = 0;
    if (action != 1 && action != 2)
        return;
    // Without an owner window the chooser cannot be placed: nothing is shown, nothing changes.
    if (!hasForm_ || !form_)
        return;
    const std::optional<QString> chosen = chooserHook() ? chooserHook()(*this, action) : runQtDialog(*this, action);
    if (chosen && !chosen->isEmpty()) {
        lastResult_ = 1;
        fileName_ = *chosen;
        fileTitle_ = QFileInfo(*chosen).fileName().trimmed();
        return;
    }
    if (cancelError_) {
        cancelPressed_ = true;
        fileName_.clear();
    }
}

QString cCommonDlg::errDescription(int number)
{
    static const QHash<int, QString> table = {
        {-32768, QStringLiteral("関数がダイアログ ボックスをロードできません。")},
        {20476, QStringLiteral("メンバ lpstrFile が指すバッファが小さすぎます。")},
        {20477, QStringLiteral("ファイル名が無効です。")},
        {20478, QStringLiteral("メモリ不足のために、リスト ボックスをサブクラス化できません。")},
        {24574, QStringLiteral("フォントが存在しません。")},
        {28660, QStringLiteral("WIN.INI ファイル内の [devices] セクションに、必要なプリンタについてのエントリがありません。")},
        {28661, QStringLiteral("PrintDlg 関数が情報コンテキストを作成できません。")},
        {28662, QStringLiteral("DevMode データ構造と DevNames データ構造のデータが異なるプリンタを指しています。")},
        {28663, QStringLiteral("通常使うプリンタが設定されていません。")},
        {28664, QStringLiteral("プリンタ ドライバが見つかりません。")},
        {28665, QStringLiteral("PrintDlg 関数を初期化できません。")},
        {28666, QStringLiteral("プリンタ ドライバが DevMode データ構造を初期化できません。")},
        {28667, QStringLiteral("PrintDlg 関数が、指定したプリンタ ドライバをロードできません。")},
        {28668, QStringLiteral("PDReturnDefault フラグが設定されていますが、hDevMode フィールドまたは hDevNames フィールドが 0 ではありません。")},
        {28671, QStringLiteral("PDReturnDefault フラグが設定されていますが、hDevMode フィールドまたは hDevNames フィールドが 0 ではありません。")},
        {28669, QStringLiteral("CommonDialog 関数が WIN.INI の [devices] セクションの文字列を解析できません。")},
        {28670, QStringLiteral("必要なリソースを読み込めません。")},
        {32751, QStringLiteral("Microsoft Windows のヘルプを呼び出せません。")},
        {32752, QStringLiteral("FileName プロパティまたは Filter プロパティにメモリを割り当てられません。")},
        {32755, QStringLiteral("[キャンセル] ボタンが選択されました。")},
        {32757, QStringLiteral("関数が、ハンドルに関連付けられたメモリをロックできません。")},
        {32758, QStringLiteral("関数が、内部のデータ構造にメモリを割り当てられません。")},
        {32759, QStringLiteral("関数が指定したリソースをロックできません。")},
        {32760, QStringLiteral("関数が指定したリソースをロードできません。")},
        {32761, QStringLiteral("関数が指定したリソースをロードできません。")},
        {32765, QStringLiteral("関数を初期化できません。")},
    };
    return table.value(number, QStringLiteral("未知のｴﾗｰです。"));
}
