#include "writers/mail_item_file.h"

#include <fmt/format.h>

namespace tvn::writers {

namespace {
constexpr std::string_view kCrLf = "\r\n";
} // namespace

std::string mailItemText(const MailText& mail) {
    std::string text;
    text.reserve(mail.body.size() + mail.cc.size() + mail.recipients.size() + 128);
    text.append("From: ").append(mail.sender).append(kCrLf);
    text.append("To: ").append(mail.recipients).append(kCrLf);
    text.append("Cc: ").append(mail.cc).append(kCrLf);
    text.append("Sent: ").append(mail.sent).append(kCrLf);
    text.append(kCrLf);
    text.append("Subject: ").append(mail.subject).append(kCrLf);
    text.append(kCrLf);
    if (mail.body.empty()) {
        text.append(kNoMailText);
    } else {
        text.append(mail.body).append(kCrLf);
    }
    return text;
}

std::string mailFileName(std::string_view stamp, std::string_view subjectName,
                         std::string_view sender) {
    return fmt::format("{}_{}_{}.rtf", stamp, subjectName, sender);
}

std::string mailAttachmentName(std::string_view stamp, std::string_view subjectName,
                               std::string_view cleanedFileName) {
    return fmt::format("{}_{}_{}", stamp, subjectName, cleanedFileName);
}

std::string mailFailureText(std::string_view folder, std::string_view subjectName,
                            std::string_view sender, std::string_view stamp, std::int32_t number,
                            std::string_view description) {
    return fmt::format("Folder: {}\r\nSubject: {}\r\nSent by: {}\r\nDate sent: {}\r\n"
                       "Error Nbr: {}\r\nError Description: {}\r\n\r\n",
                       folder, subjectName, sender, stamp, number, description);
}

} // namespace tvn::writers
