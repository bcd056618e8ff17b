#pragma once
// Whether the spreadsheet application can be had here; says so when it cannot.
bool IsExcelInstalled();
