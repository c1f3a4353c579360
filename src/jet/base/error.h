// Errors of the engine: a number and a description, as users of the Jet engine know them.
// Everything the engine refuses or fails at is thrown as JetError; callers that end the
// program show "number: description".
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

class JetError : public std::runtime_error {
public:
    JetError(int number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    int number() const { return number_; }
    const std::string& description() const { return description_; }

private:
    int number_;
    std::string description_;
};

// Numbers the old engine used; our own failures use the closest one.
namespace err {
inline constexpr int Overflow = 6;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int ObjectNotSet = 91;          // "Object variable or With block variable not set"
inline constexpr int InvalidUseOfNull = 94;
inline constexpr int TableExists = 3010;         // "Table already exists."
inline constexpr int UpdateWithoutAddNew = 3020; // "Update or CancelUpdate without AddNew or Edit."
inline constexpr int DuplicateKey = 3022;
inline constexpr int FileNotFound = 3024;
inline constexpr int NotADatabase = 3343;        // "Unrecognized database format '<path>'."
inline constexpr int CorruptDatabase = 3049;     // "Cannot open database '<path>'. It may not be a database..."
inline constexpr int PasswordProtected = 3031;   // "Not a valid password."
inline constexpr int FileLocked = 3045;          // "Could not use '<path>'; file already in use."
inline constexpr int TooFewParameters = 3061;
inline constexpr int SyntaxErrorInQuery = 3075;
inline constexpr int QueryTooComplex = 3360;     // "Query is too complex."
inline constexpr int TableNotFound = 3078;
inline constexpr int SyntaxErrorInUpdate = 3144;
inline constexpr int SyntaxErrorFromClause = 3131;
inline constexpr int InvalidSqlStatement = 3129;
inline constexpr int SyntaxErrorInInsert = 3134;
inline constexpr int SyntaxErrorInSelect = 3141;
inline constexpr int CharactersAfterEnd = 3142;
inline constexpr int UnknownInsertField = 3127;
inline constexpr int InsertValueCount = 3346;    // "Number of query values and destination fields are not the same."
inline constexpr int FieldTooSmall = 3163;
inline constexpr int RecordIsDeleted = 3167;
inline constexpr int RecordTooLarge = 3047;
inline constexpr int NullInIndex = 3058;         // "Index or primary key cannot contain a Null value."
inline constexpr int FieldDefinedTwice = 3191;   // "Cannot define field more than once."
inline constexpr int DatabaseExists = 3204;      // "Database already exists."
inline constexpr int PrimaryKeyExists = 3283;    // "Primary key already exists."
inline constexpr int ObjectInvalid = 3420;       // "Object invalid or no longer set."
inline constexpr int ItemNotFound = 3265;
inline constexpr int RequiredField = 3314;
inline constexpr int ZeroLengthNotAllowed = 3315;
inline constexpr int DataTypeMismatchInCriteria = 3464;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int Unsupported = 3251;         // "Operation is not supported for this type of object."
inline constexpr int DiskIo = 3043;              // "Disk or network error."
inline constexpr int DiskFull = 3026;            // "Not enough space on disk."
}  // namespace err

}  // namespace jet
