#pragma once
// Thin RAII layer over the ODBC C API. Every failing call becomes an AppError
// whose description is the driver's (or driver manager's) diagnostic text.
#ifdef VESTREL_OUTSIDE_DATA
#error "ODBC's headers stay inside data/: outside it, use the record set and the connection"
#endif
#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#if __has_include(<windows.h>)
// The ODBC headers of Windows build on its base types.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

namespace odbc {

// Throws when rc is not a success code, with the diagnostics of the handle.
void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what);
QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

class Handle {
public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE input);
    ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    void reset();

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// One parameter of a statement: text (UTF-8), bytes, or NULL.
struct Param {
    std::optional<QByteArray> value;
    bool binary = false;
    static Param text(const std::optional<QByteArray>& v) { return Param{v, false}; }
    static Param bytes(const std::optional<QByteArray>& v) { return Param{v, true}; }
};

// A statement on an open connection.
class Statement {
public:
    explicit Statement(SQLHDBC dbc);
    void execute(const QString& sql, const std::vector<Param>& params = {});
    // Prepared once, then run again and again with new parameters (each run
    // closes what the last one left open).
    void prepare(const QString& sql);
    void run(const std::vector<Param>& params);
    // Closes the cursor (a read left open keeps the file's read lock).
    void close();
    void tables(); // the catalogue's tables rowset
    SQLSMALLINT columnCount();
    QString columnName(int column);   // 0-based
    bool fetch();
    // Reads one cell of the current row (0-based); false when it is NULL.
    bool getData(int column, std::string& out, bool binary = false);
    SQLLEN rowCount();
    SQLHSTMT get() const { return handle_.get(); }

private:
    void bind(const std::vector<Param>& params);
    void describe(int column, QString* name, SQLSMALLINT* type);
    Handle handle_;
    std::vector<SQLLEN> indicators_;
    std::vector<std::string> textStorage_; // parameters' text in the width the driver is given it
    // How text cells are read on this platform (asked once: getData runs for every cell).
    SQLSMALLINT cellType_;
    size_t cellTerminator_;
    bool cellsAreUtf8_;
};

} // namespace odbc
