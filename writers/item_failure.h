#pragma once

// The trap of a writer's per-item procedures. Each step of an item runs inside step(); a
// failure is reported through ErrorMessages with the procedure's information text and a
// subject that the writer builds at the moment of the failure (the mail writer names the
// folder, subject, sender and date of the item in hand; the report writers give "N/A."),
// and the next step runs. The numbers a writer names as harmless are dropped unreported.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "archive/error_messages.h"
#include "store/failure.h"

namespace tvn::writers {

class ItemTrap {
public:
    // Builds the subject of one report from the failure being reported.
    using Subject = std::function<std::string(const Failure& failure)>;

    ItemTrap(archive::ErrorReporter& reporter, std::string info, Subject subject,
             std::initializer_list<std::int32_t> silent = {})
        : m_reporter(reporter), m_info(std::move(info)), m_subject(std::move(subject)),
          m_silent(silent) {}

    // Runs one step; returns true when it ran to its end. A tvn::Failure is reported (or
    // dropped when its number is one of the silent ones). Any other exception is a fault of
    // ours or an exhausted memory, never the harmless failure of the data source, so it is
    // reported whatever number stands for it.
    template <class Body> bool step(Body&& body) {
        try {
            std::forward<Body>(body)();
            return true;
        } catch (const Failure& failure) {
            report(failure);
        } catch (const std::bad_alloc&) {
            reportAlways(Failure(err::kCorruptData, "A stored size is too large to read."));
        } catch (const std::exception& e) {
            reportAlways(Failure(err::kUnspecified, e.what()));
        }
        return false;
    }

    // A step that assigns: target receives compute()'s value only when compute returns.
    template <class T, class Compute> bool assign(T& target, Compute&& compute) {
        return step([&] { target = std::forward<Compute>(compute)(); });
    }

    // Reports a failure caught elsewhere (the folder walk's), unless it is a silent one.
    void report(const Failure& failure);
    // Whether reporting this failure would drop it.
    bool isSilent(std::int32_t number) const;

private:
    void reportAlways(const Failure& failure);

    archive::ErrorReporter& m_reporter;
    std::string m_info;
    Subject m_subject;
    std::vector<std::int32_t> m_silent;
};

} // namespace tvn::writers
