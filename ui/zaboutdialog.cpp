#include "ui/zaboutdialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString formText(const char *text)
{
    return QCoreApplication::translate("aboutSetting", text);
}

} // namespace

ZAboutDialog::ZAboutDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setObjectName(QStringLiteral("aboutSetting"));
    resize(451, 199);
    setWindowIcon(QIcon(QStringLiteral(":/images/appLogo.png")));
    setWindowTitle(formText("About Quoravi"));

    auto *layoutWidget = new QWidget(this);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(QRect(10, 10, 439, 187));
    auto *horizontalLayout = new QHBoxLayout(layoutWidget);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    auto *label1 = new QLabel(layoutWidget);
    label1->setObjectName(QStringLiteral("label1"));
    label1->setPixmap(QPixmap(QStringLiteral(":/images/appLogo.png")));
    horizontalLayout->addWidget(label1);

    auto *verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    auto *label2 = new QLabel(formText("Copyright (C) Tebor.\nAll rights reserved."), layoutWidget);
    label2->setObjectName(QStringLiteral("label2"));
    label2->setWordWrap(true);
    verticalLayout->addWidget(label2);

    m_infoLabel = new QLabel(layoutWidget);
    m_infoLabel->setObjectName(QStringLiteral("m_infoLabel"));
    QSizePolicy policy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    policy.setHeightForWidth(m_infoLabel->sizePolicy().hasHeightForWidth());
    m_infoLabel->setSizePolicy(policy);
    m_infoLabel->setMaximumSize(QSize(120, 120));
    // The form's 120 pixels were measured for smaller fonts than Linux desktops use:
    // wrapping keeps the date and version whole.
    m_infoLabel->setWordWrap(true);
    verticalLayout->addWidget(m_infoLabel);

    m_okPushButton = new QPushButton(formText("OK"), layoutWidget);
    m_okPushButton->setObjectName(QStringLiteral("m_okPushButton"));
    verticalLayout->addWidget(m_okPushButton);
    horizontalLayout->addLayout(verticalLayout);

    connect(m_okPushButton, &QPushButton::clicked, this, &QDialog::accept);
}
