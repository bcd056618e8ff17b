#include "odbc.h"

#include "error.h"
#include "odbctext.h"

#include <QStringList>
#include <algorithm>
#include <vector>
#include <cstring>

#include <utility>

namespace odbc {

QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle)
{
    QStringList parts;
    QString message;
    for (SQLSMALLINT record = 1; text::diagnosticRecord(handleType, handle, record, &message); ++record)
        parts << message.trimmed();
    return parts.join(QLatin1Char('\n'));
}

void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* what)
{
    if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
        return;
    QString text = handle ? diagnostics(handleType, handle) : QString();
    if (text.isEmpty())
        text = QStringLiteral("ODBC call %1 failed (return code %2)").arg(QLatin1String(what)).arg(rc);
    throw AppError(text);
}

Handle::Handle(SQLSMALLINT type, SQLHANDLE input) : type_(type)
{
    SQLRETURN rc = SQLAllocHandle(type, input, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HANDLE;
        SQLSMALLINT inputType = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
        check(rc, inputType, input, "SQLAllocHandle");
    }
}

Handle::~Handle() { reset(); }

Handle::Handle(Handle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, SQLHANDLE(nullptr))) {}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other) {
        reset();
        type_ = other.type_;
        handle_ = std::exchange(other.handle_, SQLHANDLE(nullptr));
    }
    return *this;
}

void Handle::reset()
{
    if (handle_ != SQL_NULL_HANDLE)
        SQLFreeHandle(type_, handle_);
    handle_ = SQL_NULL_HANDLE;
}

Statement::Statement(SQLHDBC dbc)
    : handle_(SQL_HANDLE_STMT, dbc), cellType_(text::cellType()), cellTerminator_(text::cellTerminator()),
      cellsAreUtf8_(text::cellsAreUtf8())
{
}

void Statement::bind(const std::vector<Param>& params)
{
    indicators_.assign(params.size(), 0);
    textStorage_.assign(params.size(), std::string());
    for (size_t i = 0; i < params.size(); ++i) {
        const Param& p = params[i];
        const auto column = SQLUSMALLINT(i + 1);
        SQLRETURN rc;
        if (!p.value) {
            indicators_[i] = SQL_NULL_DATA;
            rc = SQLBindParameter(handle_.get(), column, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0,
                                  &indicators_[i]);
        } else if (p.binary) {
            indicators_[i] = p.value->size();
            rc = SQLBindParameter(handle_.get(), column, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                  std::max<SQLULEN>(1, p.value->size()), 0, const_cast<char*>(p.value->constData()),
                                  p.value->size(), &indicators_[i]);
        } else {
            rc = text::bindText(handle_.get(), column, *p.value, textStorage_[i], &indicators_[i]);
        }
        check(rc, SQL_HANDLE_STMT, handle_.get(), "SQLBindParameter");
    }
}

void Statement::execute(const QString& sql, const std::vector<Param>& params)
{
    if (params.empty()) {
        check(text::execDirect(handle_.get(), sql), SQL_HANDLE_STMT, handle_.get(), "SQLExecDirect");
        return;
    }
    check(text::prepare(handle_.get(), sql), SQL_HANDLE_STMT, handle_.get(), "SQLPrepare");
    bind(params);
    check(SQLExecute(handle_.get()), SQL_HANDLE_STMT, handle_.get(), "SQLExecute");
    SQLFreeStmt(handle_.get(), SQL_RESET_PARAMS);
}

void Statement::prepare(const QString& sql)
{
    check(text::prepare(handle_.get(), sql), SQL_HANDLE_STMT, handle_.get(), "SQLPrepare");
}

void Statement::run(const std::vector<Param>& params)
{
    close();
    bind(params);
    check(SQLExecute(handle_.get()), SQL_HANDLE_STMT, handle_.get(), "SQLExecute");
    SQLFreeStmt(handle_.get(), SQL_RESET_PARAMS);
}

void Statement::close() { SQLFreeStmt(handle_.get(), SQL_CLOSE); }

void Statement::tables()
{
    check(text::tables(handle_.get()), SQL_HANDLE_STMT, handle_.get(), "SQLTables");
}

SQLSMALLINT Statement::columnCount()
{
    SQLSMALLINT n = 0;
    check(SQLNumResultCols(handle_.get(), &n), SQL_HANDLE_STMT, handle_.get(), "SQLNumResultCols");
    return n;
}

QString Statement::columnName(int column)
{
    QString name;
    SQLSMALLINT type = 0;
    describe(column, &name, &type);
    return name;
}

void Statement::describe(int column, QString* name, SQLSMALLINT* type)
{
    check(text::describeColumn(handle_.get(), column, name, type), SQL_HANDLE_STMT, handle_.get(), "SQLDescribeCol");
}

bool Statement::fetch()
{
    SQLRETURN rc = SQLFetch(handle_.get());
    if (rc == SQL_NO_DATA)
        return false;
    check(rc, SQL_HANDLE_STMT, handle_.get(), "SQLFetch");
    return true;
}

namespace {
// Where the data of a terminated buffer ends, for drivers that give no length.
size_t terminatedLength(const char* buffer, size_t size, size_t terminator)
{
    if (terminator == 0)
        return size;
    for (size_t i = 0; i + terminator <= size; i += terminator) {
        if (std::all_of(buffer + i, buffer + i + terminator, [](char c) { return c == 0; }))
            return i;
    }
    return size - terminator;
}
} // namespace

bool Statement::getData(int column, std::string& out, bool binary)
{
    out.clear();
    // Small: the driver pads the whole buffer, so its size is paid on every cell.
    char small[256];
    char* buffer = small;
    size_t size = sizeof small;
    std::vector<char> large;
    const SQLSMALLINT cType = binary ? SQL_C_BINARY : cellType_;
    const size_t terminator = binary ? 0 : cellTerminator_;
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN rc = SQLGetData(handle_.get(), SQLUSMALLINT(column + 1), cType, buffer, SQLLEN(size), &indicator);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, handle_.get(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return false;
        if (rc == SQL_SUCCESS) {
            size_t n = indicator == SQL_NO_TOTAL ? terminatedLength(buffer, size, terminator) : size_t(indicator);
            out.append(buffer, std::min(n, size - terminator));
            break;
        }
        // Truncated: a full buffer came back, more follows. Where the driver
        // tells how much, the rest comes in one piece (the Windows driver
        // converts the whole value again for every piece asked for).
        out.append(buffer, size - terminator);
        if (indicator != SQL_NO_TOTAL && size_t(indicator) > size - terminator && buffer == small) {
            large.resize(size_t(indicator) - (size - terminator) + terminator);
            buffer = large.data();
            size = large.size();
        }
    }
    if (!binary && !cellsAreUtf8_)
        text::cellToUtf8(out);
    return true;
}

SQLLEN Statement::rowCount()
{
    SQLLEN n = 0;
    check(SQLRowCount(handle_.get(), &n), SQL_HANDLE_STMT, handle_.get(), "SQLRowCount");
    return n;
}


} // namespace odbc
