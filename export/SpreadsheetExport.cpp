#include "SpreadsheetExport.h"

#include "platform/messagebox.h"
#include "platform/objects.h"
#include "platform/spreadsheet.h"
#include "common/Main.h"

bool IsExcelInstalled()
{
    bool failed = false;
    std::shared_ptr<ExcelApplication> application;
    try {
        application = CreateObject<ExcelApplication>(QStringLiteral("Excel.Application"));
    } catch (...) {
        failed = true;
    }
    if (!application) {
        MsgBox(QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this "
                              "feature."),
               vbOKOnly, Main::ApplicationTitle());
        return false;
    }
    try {
        application->Quit();
    } catch (...) {
        failed = true;
    }
    return !failed;
}
