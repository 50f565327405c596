#include <QApplication>
#include <QMessageBox>

// Until the tray shell exists the program only says so; the library core is exercised by
// the test suite.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QMessageBox::information(nullptr, QStringLiteral("Velmora"), QStringLiteral("Velmora is starting up."));
    return 0;
}
