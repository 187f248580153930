#pragma once

// The drive list of the archive-location dialog. On Linux a "drive" is a mounted file
// system a user would save files to: the root, /home, removable and other disks under
// /media, /mnt and /run/media, and the user's home directory; never the kernel's and the
// system's own mounts (/proc, /sys, /dev, /run, snap images) nor read-only ones. On
// Windows the drive letters that exist.

#include <string>
#include <string_view>
#include <vector>

namespace tvn::app {

struct Drive {
    // The directory the drive opens at ("/", "/media/ann/USB", "c:\").
    std::string root;
    // What the drive list shows ("/media/ann/USB (vfat)").
    std::string label;
    friend bool operator==(const Drive&, const Drive&) = default;
};

// The drives among the mounts described by mountsText (the format of /proc/self/mounts:
// device, mount point with blanks as \040, type, options, ...), root first, then home,
// then the mounts in their order. home may be empty.
std::vector<Drive> drivesFromMounts(std::string_view mountsText, std::string_view home);

// The drives of the running system.
std::vector<Drive> userDrives();

} // namespace tvn::app
