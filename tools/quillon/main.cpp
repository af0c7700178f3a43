// quillon: the operator's tool for recording servers' settings. See docs/operator.md.

#include "tools/quillon/commands.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return quillon::tool::runCommand(arguments);
}
