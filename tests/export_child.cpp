// A program that exports a table to a text file and is killed by the export
// tests half-way through: export_child DATABASE TABLE FILE.
#include "export/DataGrid1.h"
#include "export/TextSink.h"
#include "testsupport.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    TestEnvironment env;
    TextSink::setMemoryLimit(4096); // the text reaches the disk from the first rows on
    DataGrid* grid = OpenTable(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    DataGrid1::SaveDataGridToFile(grid, QString::fromLocal8Bit(argv[3]));
    return env.boxes.isEmpty() ? 0 : 1;
}
