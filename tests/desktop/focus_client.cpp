// Another program's window with a text field, for the input-method tests: it stands
// for the terminal the user started Velmar from. Its caption is its first argument.

#include <QApplication>
#include <QLineEdit>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLineEdit field;
    field.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("terminal"));
    field.resize(400, 40);
    field.show();
    field.activateWindow();
    return QApplication::exec();
}
