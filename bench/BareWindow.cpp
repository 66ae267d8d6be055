// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for start-up: a bare Qt window of the main window's size with as many labels,
// and nothing else (no media, no pictures). With --text-boxes it also has the main window's
// three text boxes (two of them hidden), which lay out their text, and so need the font
// database, as they are made.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(999, 657);
    for (int i = 0; i < 35; ++i) {
        auto* label = new QLabel(QStringLiteral("Label %1").arg(i), &window);
        label->setGeometry(20 + (i % 5) * 190, 20 + (i / 5) * 85, 170, 40);
    }
    if (argc == 2 && QByteArray(argv[1]) == "--text-boxes") {
        const QRect places[] = {{59, 51, 125, 49}, {53, 363, 44, 36}, {261, 414, 62, 19}};
        for (int i = 0; i < 3; ++i) {
            auto* box = new QLineEdit(i == 1 ? QString() : QStringLiteral("1"), &window);
            box->setGeometry(places[i]);
            box->setVisible(i == 2);
        }
    }
    window.show();
    return application.exec();
}
