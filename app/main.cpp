// Entry point of the editor.
#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QScrollArea>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QImageReader::setAllocationLimit(0);
    QScrollArea window;
    auto* label = new QLabel;
    if (argc > 1)
        label->setPixmap(QPixmap(QString::fromLocal8Bit(argv[1])));
    window.setWidget(label);
    window.setWindowTitle(QStringLiteral("Orvane"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
