#pragma once
// The location texts that the error report names, one per guarded procedure.
#include <QString>

namespace Location {
inline const QString Form1_TestConnection = QStringLiteral("in Vestrel2020/08/02.Form1.PushButton1_Click ");
inline const QString Form1_LoadSample = QStringLiteral("in Vestrel2020/08/02.Form1.PushButton2_Click ");
inline const QString Form1_Next = QStringLiteral("in Vestrel2020/08/02.Form1.PushButton3_Click ");
inline const QString Form1_Browse = QStringLiteral("in Vestrel2020/08/02.Form1.PushButton5_Click ");
inline const QString Form1_Load = QStringLiteral("in Vestrel2020/08/02.Form1.Form_Load ");
inline const QString Form1_Help = QStringLiteral("in Vestrel2020/08/02.Form1.PushButton7_Click ");
inline const QString Form2_NewTable = QStringLiteral("in Vestrel2020/08/02.Form2.PushButton1_Click ");
inline const QString Form2_Back = QStringLiteral("in Vestrel2020/08/02.Form2.PushButton2_Click ");
inline const QString Form2_Next = QStringLiteral("in Vestrel2020/08/02.Form2.PushButton3_Click ");
inline const QString Form2_Load = QStringLiteral("in Vestrel2020/08/02.Form2.Form_Load ");
inline const QString Form3_AddNewColumn = QStringLiteral("in Vestrel2020/08/02.Form3.chkNewColumn_Click ");
inline const QString Form3_AddNewRow = QStringLiteral("in Vestrel2020/08/02.Form3.cmdAddNewRow_Click ");
inline const QString Form3_Back = QStringLiteral("in Vestrel2020/08/02.Form3.PushButton1_Click ");
inline const QString Form3_Quit = QStringLiteral("in Vestrel2020/08/02.Form3.PushButton3_Click ");
inline const QString Form3_Help = QStringLiteral("in Vestrel2020/08/02.Form3.PushButton4_Click ");
inline const QString Form3_Export = QStringLiteral("in Vestrel2020/08/02.Form3.PushButton6_Click ");
inline const QString Form3_Load = QStringLiteral("in Vestrel2020/08/02.Form3.Form_Load ");
inline const QString Form3_PDF = QStringLiteral("in Vestrel2020/08/02.Form3.mnuPDF_Click ");
inline const QString Form3_XLS = QStringLiteral("in Vestrel.Form3.mnuXLS_Click ");
inline const QString DataGrid1_SaveDataGridToFile = QStringLiteral("in Vestrel2020/08/02.Datagrid1.SaveDataGridToFile ");
inline const QString DataGrid1_SaveDataGridToXMLFile = QStringLiteral("in Vestrel2020/08/02.Datagrid1.SaveDataGridToXMLFile ");
inline const QString DataGrid1_SaveDataGridToCSVFile = QStringLiteral("in Vestrel2020/08/02.Datagrid1.SaveDataGridToCSVFile ");
inline const QString frmNewColumn_Add = QStringLiteral("in Vestrel2020/08/02.frmNewColumn.cmdAdd_Click ");
inline const QString frmNewColumn_Load = QStringLiteral("in Vestrel2020/08/02.frmNewColumn.Form_Load ");
inline const QString frmNewTable_Add = QStringLiteral("in Vestrel2020/08/02.frmNewTable.cmdAdd_Click ");
inline const QString frmNewTable_Load = QStringLiteral("in Vestrel2020/08/02.frmNewTable.Form_Load ");
inline const QString frmNewTable_Delete = QStringLiteral("in Vestrel2020/08/02.frmNewTable.PushButton1_Click ");
inline const QString frmNewTable_Save = QStringLiteral("in Vestrel2020/08/02.frmNewTable.PushButton2_Click ");
inline const QString frmNewTable_Cancel = QStringLiteral("in Vestrel2020/08/02.frmNewTable.PushButton3_Click ");
} // namespace Location
