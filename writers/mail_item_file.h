#pragma once

// The text of a mail's item file and the names of the item file and of its attachments.
// Pure functions of the values read from the item, so that the layout can be checked byte
// for byte without a data file.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvn::writers {

// What one mail's file shows. sender and recipients are the cleaned texts with their
// substitutes; cc and subject are as read; sent is the general date text.
struct MailText {
    std::string sender;
    std::string recipients;
    std::string cc;
    std::string sent;
    std::string subject;
    std::string body;
};

inline constexpr std::string_view kUnknownRecipient = "Unknown Recipient";
inline constexpr std::string_view kNoMailText = "<This item contained no email text.>";

// The header lines and the body (or the no-text line) as one text with CR LF line ends.
// The text ends right after the body's line end, or right after the no-text line: the
// line-write and the one blank line written after it end the file.
std::string mailItemText(const MailText& mail);

// "stamp_subject_sender.rtf".
std::string mailFileName(std::string_view stamp, std::string_view subjectName,
                         std::string_view sender);
// "stamp_subject_attachment": an attachment's name beside its mail.
std::string mailAttachmentName(std::string_view stamp, std::string_view subjectName,
                               std::string_view cleanedFileName);

// The several-line subject of the mail writer's error reports: the folder, the item as far
// as it is known when the step failed, and the failure again.
std::string mailFailureText(std::string_view folder, std::string_view subjectName,
                            std::string_view sender, std::string_view stamp, std::int32_t number,
                            std::string_view description);

} // namespace tvn::writers
