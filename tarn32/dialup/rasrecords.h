// The Remote Access Service records tarn32 hands to rasapi32.dll, in the
// layout of the sizes it announces in their size fields (1052 and 160): the
// original layouts, without the sub-entry, callback id and phone number
// fields that later versions appended. Widths include the NUL.
//
//   dial parameters (1052 bytes)          connection status (160 bytes)
//     0  size            4                  0  size          4
//     4  entry name    257                  4  state         4
//   261  phone number  129                  8  error         4
//   390  callback      129                 12  device type  17
//   519  user name     257                 29  device name 129
//   776  password      257                158  (padding)     2
//  1033  domain         16
//  1049  (padding)       3
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

enum RasWidth : std::size_t {
    kRasEntryNameWidth = 257,
    kRasPhoneNumberWidth = 129,
    kRasCallbackNumberWidth = 129,
    kRasUserNameWidth = 257,
    kRasPasswordWidth = 257,
    kRasDomainWidth = 16,
    kRasDeviceTypeWidth = 17,
    kRasDeviceNameWidth = 129,
};

struct RasDialParams {
    std::uint32_t size;
    char entryName[kRasEntryNameWidth];
    char phoneNumber[kRasPhoneNumberWidth];
    char callbackNumber[kRasCallbackNumberWidth];
    char userName[kRasUserNameWidth];
    char password[kRasPasswordWidth];
    char domain[kRasDomainWidth];
};
static_assert(sizeof(RasDialParams) == 1052, "dial parameter record of size 1052");
static_assert(offsetof(RasDialParams, domain) == 1033, "dial parameter layout");

struct RasConnStatus {
    std::uint32_t size;
    std::int32_t state;
    std::uint32_t error;
    char deviceType[kRasDeviceTypeWidth];
    char deviceName[kRasDeviceNameWidth];
};
static_assert(sizeof(RasConnStatus) == 160, "connection status record of size 160");

// RAS error codes tarn32 knows by number.
enum RasError : int {
    kRasBufferInvalid = 610,
    kRasCannotOpenPhonebook = 621,
    kRasCannotFindEntry = 623,
};

}  // namespace tarn
