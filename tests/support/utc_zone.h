#pragma once

// The time zone of tests. Including this header pins a whole test binary to UTC before its
// first test, so that local times read as the UTC times the oracles (pffexport, the
// manifest) show; a ZoneGuard moves one test elsewhere for its lifetime.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace tvn::test_support {

class UtcZone : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

// Sets TZ for its lifetime and puts the old one back.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (m_old) {
            setenv("TZ", m_old->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

inline const auto* const kUtcZone = ::testing::AddGlobalTestEnvironment(new UtcZone);

} // namespace tvn::test_support
