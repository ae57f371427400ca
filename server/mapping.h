// How a definition row (kind, body) turns into the line the client's merge writes, the
// name it compares for withdrawals, and how plain definition files map onto rows.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kxs {

struct Row {
  std::string kind;
  std::string body;
};

// Kinds the merge knows: FILE, EXE, DLL, REG, COOK, DIR, and any holding "S" (the safe list).
bool IsSafetyKind(std::string_view kind);
bool IsKnownKind(std::string_view kind);

// Why a row cannot travel in a package intact, or "" when it can.
std::string RowProblem(const Row& row);

// The plain line the merge writes for the row (for EXE the same line goes to both files).
std::string ClientLine(const Row& row);
// The names a withdrawal must carry: the line's text before its first "=". A registry value
// also yields the form without the trailing "^", the way the shipped files write it.
std::vector<std::string> WithdrawalNames(const Row& row);
// Whether a name typed by an administrator picks this row (ignoring case).
bool NameMatches(const Row& row, std::string_view name);

// The plain definition files of a folder, in the order they are imported.
const std::vector<std::string>& ImportFileNames();
// Rows for every line of the files (file name -> content), in file order. Lines that cannot
// be carried are skipped and reported through `skipped` (file, line, reason).
std::vector<Row> MapDefinitionFiles(const std::vector<std::pair<std::string, std::string>>& files,
                                    const std::function<void(const std::string&, const std::string&,
                                                             const std::string&)>& skipped);

// The plain lines a client's .dat file holds for these live rows ("FileDefinition.dat" ...).
std::vector<std::string> LinesOfFile(const std::vector<Row>& live, std::string_view dat_name);

}  // namespace kxs
