#pragma once

// What the calendar, task and note writers share: the walk that gives every folder of the
// tree a directory and an account and hands each item of the writer's kind to its report
// builder; the trap of a report builder, which lets a missing attachment index pass
// silently; reading one property so that a failed read leaves no value; the write of one
// report file; and the attachment list and saver of calendar items and tasks.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/error_messages.h"
#include "archive/run_context.h"
#include "store/object_model.h"
#include "store/properties.h"

namespace tvn::writers::reports {

// The runtime's "type mismatch": an item of another kind where the writer expects its own.
inline constexpr std::int32_t kTypeMismatch = 13;

// Where one item's report goes and whose account it adds to.
struct ReportTarget {
    std::filesystem::path directory;
    archive::FolderAccount& account;
};

// The report builder of one item; true when its report file was written.
using ItemReport = std::function<bool(const store::Item& item, const ReportTarget& target)>;

struct ReportWalk {
    // The walker's information text, for a folder or an item that cannot be opened and for
    // an item of another kind.
    std::string_view info;
    // Whether the writer takes items of this message class.
    bool (*takes)(std::string_view messageClass);
    // What the writer takes, for the report of an item it does not ("an appointment").
    std::string_view kindName;
    ItemReport report;
};

// Archives folder into directory and each subfolder, whatever its own kind, into a
// directory of its name inside its parent's: subfolders first, then the folder's items.
// Items of other kinds are reported and skipped; the walk always goes on.
void walkReportFolders(archive::RunContext& run, const std::filesystem::path& directory,
                       const std::shared_ptr<store::Folder>& folder, const ReportWalk& walk);

// True for the message class base and its subclasses ("IPM.Task", "IPM.Task.Custom"),
// compared without regard to case.
bool isClassOf(std::string_view messageClass, std::string_view base);

// A report builder's trap: a failure numbered `cleared` is dropped without a report.
archive::ErrorTrap clearingTrap(archive::ErrorReporter& reporter, std::string_view info,
                                std::int32_t cleared = err::kSubscriptOutOfRange);

// True when messageClass begins with prefix, compared without regard to case.
bool startsWithClass(std::string_view messageClass, std::string_view prefix);

// A report title's placeholder for an item without subject ("<This ... no subject.>"): its
// angle brackets are taken out where the file system refuses them in names (Windows).
std::string placeholderTitle(std::string_view placeholder);

// One property of the item, or nothing when it cannot be read (the failure is reported).
template <store::Variant::Kind K>
auto readValue(archive::ErrorTrap& trap, const store::Item& item, store::PropertyKey<K> key)
    -> std::optional<decltype(store::read(item, key))> {
    std::optional<decltype(store::read(item, key))> value;
    trap.step([&] { value = store::read(item, key); });
    return value;
}

// label + text(value), or the label alone when the value could not be read.
template <typename T, typename F>
std::string labelled(std::string_view label, const std::optional<T>& value, F&& text) {
    std::string line(label);
    if (value) {
        line += text(*value);
    }
    return line;
}

// An attendee text with each ";" turned into ", ", the pieces kept as they are.
std::string attendeeList(std::string_view attendees);

// The general date text of a date, or "" when it could not be read.
std::string dateText(const std::optional<store::DateTime>& when);

// Writes one report: the text, one line end, and one empty line, into directory/title.rtf
// (numbered when this run wrote that name already). Every failing step is reported with
// info; a report whose file could not be created still tries, and reports, each write.
// True when the whole report reached the file.
bool writeReportFile(archive::RunContext& run, const std::filesystem::path& directory,
                     std::string_view title, std::string_view text, std::string_view info);

// The attachments of one item as its report lists them and its saver saves them.
struct ReportAttachment {
    std::shared_ptr<store::Attachment> attachment;
    // Read for listed (by-value) attachments; the saver reads the others'.
    std::optional<std::string> fileName;
    bool listed = false;
};

// Reads the item's attachments, their types and the names of the by-value ones, in
// collection order; failures go to the builder's trap.
std::vector<ReportAttachment> readAttachments(archive::ErrorTrap& trap, const store::Item& item);

// The attachment part of a report: label + "None.", or the label and one line per listed
// attachment other than "Untitled.msg", numbered from 1. Sets anyListed.
std::string attachmentLines(std::string_view label, const std::vector<ReportAttachment>& list,
                            bool& anyListed);

// Saves every attachment but "Untitled.msg", whatever its type, into directory under its
// own name with the double quotes (and anything that would lead out of the directory)
// taken out, numbered when this run wrote that name already. A name that is left naming
// no file ("", "." or "..") is reported like any failure: with info (number 9 cleared),
// and counted in the account.
void saveAttachments(archive::RunContext& run, const std::vector<ReportAttachment>& list,
                     const ReportTarget& target, std::string_view info);

// The file name an attachment is saved under: double quotes removed, and the characters
// that would name another directory (path separators; on Windows every character a file
// name may not hold) too. "", "." and ".." stay unusable and fail when saved.
std::string attachmentFileName(std::string_view fileName);

} // namespace tvn::writers::reports
