// SPDX-License-Identifier: GPL-3.0-or-later
#include "helpwindow/Form2.h"

#include "controls/Controls.h"
#include "controls/DesignBuilder.h"
#include "desktop/Desktop.h"
#include "helpwindow/Form2Design.h"


namespace zupfomat {

Form2::Form2(Desktop& desktop, QWidget* parent) : QWidget(parent, Qt::Window), desktop_(desktop)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Zupfomat Hilfe"));
    setAttribute(Qt::WA_DeleteOnClose); // the next "?" builds it anew from its design
    resize(kForm2Width, kForm2Height);
    setBackColour(this, QColor(255, 255, 128));
    const QHash<QString, QWidget*> controls = buildDesign(this, form2Design());
    auto* link = qobject_cast<ClickLabel*>(controls.value(QStringLiteral("Label21")));
    link->setCursor(Qt::PointingHandCursor);
    connect(link, &ClickLabel::clicked, this, &Form2::openDownloadPage);
}

void Form2::openDownloadPage()
{
    if (desktop_.openAddress(downloadPage()))
        return;
    showNotice(this, windowTitle(),
               QStringLiteral("Der Browser konnte nicht ge\u00f6ffnet werden.\n%1").arg(downloadPage().toString()));
}

} // namespace zupfomat
