#include "messages.h"

#include <QMessageBox>

namespace ui {

void showWarning(QWidget *owner, const Warning &warning)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tessaro"), warning.text, QMessageBox::Ok, owner);
    box->setObjectName(QStringLiteral("warning"));
    box->setInformativeText(warning.advice);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

Warning toWarning(const design::Message &message)
{
    return {fromSystem(message.text), fromSystem(message.advice)};
}

QString fromSystem(const std::string &bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toSystem(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace ui
