// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/device_table.h"

#include <algorithm>

namespace tovimo::media {

std::vector<DeviceTable::Entry>::const_iterator DeviceTable::findEntry(std::string_view name) const {
    const std::string lowerName = lowerCase(name);
    return std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) {
        return entry.isAlias ? lowerCase(entry.name) == lowerName : entry.name == name;
    });
}

Device* DeviceTable::find(std::string_view name) const {
    const auto it = findEntry(name);
    return it == entries_.end() ? nullptr : it->device.get();
}

std::uint32_t DeviceTable::nextId() const {
    std::uint32_t id = 1;
    while (std::any_of(entries_.begin(), entries_.end(), [id](const Entry& entry) { return entry.id == id; }))
        ++id;
    return id;
}

std::uint32_t DeviceTable::add(std::string name, bool isAlias, std::unique_ptr<Device> device) {
    const std::uint32_t id = nextId();
    entries_.push_back(Entry{id, std::move(name), isAlias, std::move(device)});
    return id;
}

bool DeviceTable::remove(std::string_view name) {
    const auto it = findEntry(name);
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

void DeviceTable::clear() {
    if (entries_.empty())
        return;
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
        it->device->beginClose();
    while (!entries_.empty())
        entries_.pop_back();
}

void DeviceTable::forEach(const std::function<void(Device&)>& action) const {
    for (const auto& entry : entries_)
        action(*entry.device);
}

} // namespace tovimo::media
