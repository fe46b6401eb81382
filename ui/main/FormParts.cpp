#include "ui/main/FormParts.h"

#include "registry/Cp932.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QVBoxLayout>

namespace formparts {

QGroupBox* nameFrame(QWidget* parent, const char* frameName, const QString& caption, const char* editName,
                     const QString& tip, QLineEdit** edit)
{
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(frameName));
    auto* layout = new QVBoxLayout(frame);
    *edit = new QLineEdit(frame);
    (*edit)->setObjectName(QLatin1String(editName));
    (*edit)->setToolTip(tip);
    layout->addWidget(*edit);
    return frame;
}

QLabel* cautionImage(QWidget* parent)
{
    auto* image = new QLabel(parent);
    image->setObjectName(QStringLiteral("ImgCaution"));
    image->setPixmap(parent->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    image->setAlignment(Qt::AlignTop);
    return image;
}

QLabel* note(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

QString typedName(QLineEdit* box)
{
    const QString name = cp932::storedForm(box->text());
    if (name != box->text())
        box->setText(name);
    return name;
}

} // namespace formparts
