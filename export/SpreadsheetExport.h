#pragma once
// (The name is the design's.) Whether a spreadsheet program is registered for
// .xlsx files on this desktop, the stand-in for creating Excel.Application;
// where none is, says so in the design's message (which names Excel) and
// returns false.
bool IsExcelInstalled();
