// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace zupfomat {

class Desktop;

// The help window: the main window's screenshot, what each control does, and the download link.
class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(Desktop& desktop, QWidget* parent = nullptr);

    void openDownloadPage();

private:
    Desktop& desktop_;
};

} // namespace zupfomat
