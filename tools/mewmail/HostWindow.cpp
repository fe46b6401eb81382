#include "HostWindow.h"

#include <QDialog>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

HostWindow::HostWindow(HostData& data, QWidget* parent) : QMainWindow(parent), data_(data)
{
    setWindowTitle(QStringLiteral("Mewmail for Windows ver. 2.0"));

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("MenuFile"));
    QAction* receive = file->addAction(QStringLiteral("メールを受信(&M)"));
    receive->setObjectName(QStringLiteral("ActionReceive"));
    connect(receive, &QAction::triggered, this, &HostWindow::receiveMail);
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("終了(&X)"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    petLabel_ = new QLabel(central);
    petLabel_->setObjectName(QStringLiteral("PetLabel"));
    statusLabel_ = new QLabel(central);
    itemsLabel_ = new QLabel(central);
    itemsLabel_->setObjectName(QStringLiteral("ItemsLabel"));
    layout->addWidget(petLabel_);
    layout->addWidget(statusLabel_);
    layout->addWidget(itemsLabel_);

    auto addButton = [&](QHBoxLayout* row, const QString& text, auto&& action) {
        auto* button = new QPushButton(text, central);
        connect(button, &QPushButton::clicked, this, [this, action] {
            action();
            refresh();
        });
        row->addWidget(button);
    };
    auto* row1 = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    addButton(row1, QStringLiteral("おやつをあげる"), [this] { data_.eatSnack(); });
    addButton(row1, QStringLiteral("おもちゃで遊ぶ"), [this] { data_.findToy(); });
    addButton(row2, QStringLiteral("メールを送る"), [this] { data_.sendMail(QDate::currentDate()); });
    addButton(row2, QStringLiteral("おともだちを追加"), [this] {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, QStringLiteral("おともだち帳"), QStringLiteral("おともだちの名前:"),
                                  QLineEdit::Normal, QString(), &ok);
        if (ok && !name.trimmed().isEmpty())
            data_.addFriend(name.trimmed());
    });
    layout->addLayout(row1);
    layout->addLayout(row2);
    setCentralWidget(central);
    refresh();
}

void HostWindow::receiveMail()
{
    if (receiving_)
        return;
    receiving_ = true;
    QDialog progress(this);
    progress.setWindowTitle(QStringLiteral("メールを受信中"));
    auto* layout = new QVBoxLayout(&progress);
    layout->addWidget(new QLabel(QStringLiteral("メールを受信しています..."), &progress));
    QTimer::singleShot(1000, &progress, &QDialog::accept);
    progress.exec();
    data_.receiveMail(QDate::currentDate());
    receiving_ = false;
    refresh();
}

void HostWindow::refresh()
{
    const PetState& pet = data_.pet();
    petLabel_->setText(QStringLiteral("ペット: %1（%2 生まれ）")
                           .arg(pet.name, pet.born.date().toString(QStringLiteral("yyyy/MM/dd"))));
    QString where =
        pet.outUntil.isValid()
            ? QStringLiteral("おでかけ中（%1 に帰宅予定）").arg(pet.outUntil.toString(QStringLiteral("yyyy/MM/dd")))
            : QStringLiteral("おうちにいます");
    statusLabel_->setText(QStringLiteral("満腹度: %1　%2").arg(pet.fullness).arg(where));
    itemsLabel_->setText(QStringLiteral("受信フォルダ: %1 通　送信フォルダ: %2 通\nおやつ: %3 個　おもちゃ: %4 個　"
                                        "宝物: %5 個　おともだち: %6 人")
                             .arg(data_.countFiles(QStringLiteral("受信フォルダ"), QStringLiteral("*.mwm")))
                             .arg(data_.countFiles(QStringLiteral("送信フォルダ"), QStringLiteral("*.mwm")))
                             .arg(data_.countFiles(QStringLiteral("おやつ"), QStringLiteral("*.pac")))
                             .arg(data_.countFiles(QStringLiteral("おもちゃ"), QStringLiteral("*.pty")))
                             .arg(data_.countFiles(QStringLiteral("宝物"), QStringLiteral("*.pac")))
                             .arg(data_.friendCount()));
}
