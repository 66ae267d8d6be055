// The yardstick for start-up: a bare Qt window of the main window's size with as many labels,
// and nothing else (no media, no pictures).
#include <QApplication>
#include <QLabel>
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
    window.show();
    return application.exec();
}
