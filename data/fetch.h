#pragma once
// Rows of an executed statement into a row store, cell by cell as the driver
// delivers them.
#include "odbc.h"
#include "rowstore.h"

#include <optional>
#include <string>
#include <vector>

// The driver delivers every value as text, a BLOB as X'hex' (upper-case hex
// digits). Such a text becomes the BLOB's bytes again, marked as a BLOB.
StoredCell DeliveredCell(bool present, const std::string& text);
// Whether the text has the form in which the driver delivers a BLOB; decodes it into bytes.
bool DecodeBlobText(const char* data, size_t size, std::string* bytes);

// Reads the rows of an executed statement into the store, the first column
// being the rowid when rowids is given.
void FetchRows(odbc::Statement& statement, RowStore& store, std::vector<qint64>* rowids);
// The same, the first `leading` columns being numbers (NULL: none), row after row into numbers.
void FetchRows(odbc::Statement& statement, RowStore& store, int leading, std::vector<std::optional<qint64>>* numbers);
