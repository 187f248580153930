#pragma once

// Property ids (the high 16 bits of a property tag) that the reader looks up by number and
// the .pst writer fills in. One list, so that the reader and the files written to test it
// cannot drift apart. Ids only the object model's field mapping names stay in that mapping.

#include <cstdint>

namespace tvn::store::pst::ltp::tag {

inline constexpr std::uint16_t kImportance = 0x0017;
inline constexpr std::uint16_t kMessageClass = 0x001A;
inline constexpr std::uint16_t kSensitivity = 0x0036;
inline constexpr std::uint16_t kSubject = 0x0037;
inline constexpr std::uint16_t kClientSubmitTime = 0x0039;
inline constexpr std::uint16_t kSentRepresentingName = 0x0042;
inline constexpr std::uint16_t kRecipientType = 0x0C15;
inline constexpr std::uint16_t kSenderName = 0x0C1A;
inline constexpr std::uint16_t kSenderAddressType = 0x0C1E;
inline constexpr std::uint16_t kSenderEmailAddress = 0x0C1F;
inline constexpr std::uint16_t kDisplayBcc = 0x0E02;
inline constexpr std::uint16_t kDisplayCc = 0x0E03;
inline constexpr std::uint16_t kDisplayTo = 0x0E04;
inline constexpr std::uint16_t kMessageDeliveryTime = 0x0E06;
inline constexpr std::uint16_t kMessageFlags = 0x0E07;
inline constexpr std::uint16_t kMessageSize = 0x0E08;
inline constexpr std::uint16_t kResponsibility = 0x0E0F;
inline constexpr std::uint16_t kMessageStatus = 0x0E17;
inline constexpr std::uint16_t kAttachSize = 0x0E20;
inline constexpr std::uint16_t kAttachNumber = 0x0E21;
inline constexpr std::uint16_t kRecordKey = 0x0FF9;
inline constexpr std::uint16_t kObjectType = 0x0FFE;
inline constexpr std::uint16_t kBody = 0x1000;
inline constexpr std::uint16_t kRtfCompressed = 0x1009;
inline constexpr std::uint16_t kHtml = 0x1013;
inline constexpr std::uint16_t kNativeBody = 0x1016;
inline constexpr std::uint16_t kRowId = 0x3000; // PidTagRowid of recipient and attachment rows
inline constexpr std::uint16_t kDisplayName = 0x3001;
inline constexpr std::uint16_t kAddressType = 0x3002;
inline constexpr std::uint16_t kEmailAddress = 0x3003;
inline constexpr std::uint16_t kCreationTime = 0x3007;
inline constexpr std::uint16_t kLastModificationTime = 0x3008;
inline constexpr std::uint16_t kSearchKey = 0x300B;
inline constexpr std::uint16_t kIpmSubtreeEntryId = 0x35E0;
inline constexpr std::uint16_t kContentCount = 0x3602;
inline constexpr std::uint16_t kContentUnreadCount = 0x3603;
inline constexpr std::uint16_t kSubfolders = 0x360A;
inline constexpr std::uint16_t kContainerClass = 0x3613;
inline constexpr std::uint16_t kAttachDataBinary = 0x3701; // PT_BINARY, or PT_OBJECT
inline constexpr std::uint16_t kAttachExtension = 0x3703;
inline constexpr std::uint16_t kAttachFilename = 0x3704;
inline constexpr std::uint16_t kAttachMethod = 0x3705;
inline constexpr std::uint16_t kAttachLongFilename = 0x3707;
inline constexpr std::uint16_t kRenderingPosition = 0x370B;
inline constexpr std::uint16_t kAttachMimeTag = 0x370E;
inline constexpr std::uint16_t kDisplayType = 0x3900;
inline constexpr std::uint16_t kSmtpAddress = 0x39FE;
inline constexpr std::uint16_t kInternetCodepage = 0x3FDE;
inline constexpr std::uint16_t kMessageCodepage = 0x3FFD;
inline constexpr std::uint16_t kRecipientDisplayName = 0x5FF6;
inline constexpr std::uint16_t kRecipientFlags = 0x5FFD;
// The two columns every table context carries: the row's id (the key of the row index) and
// its version.
inline constexpr std::uint16_t kLtpRowId = 0x67F2;
inline constexpr std::uint16_t kLtpRowVer = 0x67F3;
inline constexpr std::uint16_t kPstPassword = 0x67FF;

} // namespace tvn::store::pst::ltp::tag
