// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/command_parser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovimo::media {

// One open device. Commands reach it already parsed and addressed to it.
class Device {
public:
    virtual ~Device() = default;
    // Carries out `command`; on success `reply` holds the reply text (maybe
    // empty). Returns 0 or an error code.
    virtual std::uint32_t execute(const Command& command, std::string& reply) = 0;
    // Starts closing without waiting; destroying the device finishes it.
    // Closing several devices starts them all first, so that their
    // teardowns run side by side.
    virtual void beginClose() {}
    // Why the device's engine last failed, in one line, or empty.
    virtual std::string failureReason() const { return {}; }
};

// The open devices, each under one name: its alias, or else its element. An
// alias matches ignoring case; an element name (a file path) matches exactly,
// since paths on this platform are case-sensitive.
//
// Ids are the lowest free number from 1, so the first device after
// "close all" is 1 again.
class DeviceTable {
public:
    // The device named `name`, or null.
    Device* find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }

    // The id the next add will give.
    std::uint32_t nextId() const;

    // Adds a device and returns its id (nextId()). The caller has checked the name is free.
    std::uint32_t add(std::string name, bool isAlias, std::unique_ptr<Device> device);

    // A closed device's engine hands the memory it freed back to the system
    // once its teardown ends (see allocator_tuning.h), away from the caller.

    // Closes the device named `name`; false when there is none.
    bool remove(std::string_view name);

    // Closes every device, the most recently opened first.
    void clear();

    bool empty() const { return entries_.empty(); }

    // Calls `action` on every device, in opening order.
    void forEach(const std::function<void(Device&)>& action) const;

private:
    struct Entry {
        std::uint32_t id;
        std::string name;
        bool isAlias;
        std::unique_ptr<Device> device;
    };
    std::vector<Entry>::const_iterator findEntry(std::string_view name) const;

    std::vector<Entry> entries_;
};

} // namespace tovimo::media
