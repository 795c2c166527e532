#pragma once

// A bench announced to a home or lab automation hub by Home Assistant's MQTT
// discovery: one retained config message for each channel sampled (a sensor)
// and each digital line (a binary sensor), under
//   homeassistant/sensor/NODE/chN/config
//   homeassistant/binary_sensor/NODE/dinN/config
// NODE being made from the bench's topic prefix (lab/bench1 -> zolt_lab_bench1).
// Each names the entity from the channel setup, its unit and display
// precision, the device (this bench), the program that announced it, the
// state topic with a template that takes the value out of it, and the
// bench's retained status topic with a template that maps its texts
// ("online", "online, N scans dropped", "waiting for device", "offline") to
// online and offline. The state topic, PREFIX/state, carries the latest scan
// (the scan message's keys, with the scaled values) at most once a second.
//
// The ids follow the current schema: unique_id, and default_entity_id
// ("sensor.zolt_lab_bench1_ch2") in place of object_id, which the hub stopped
// taking in 2026. Channels and lines not sampled get an empty retained
// message, which removes what an earlier run announced; removing the bench
// sends one to every topic.

#include "front/ChannelSetup.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace front {

inline constexpr const char* kDiscoveryPrefix = "homeassistant";
// The state topic's messages are at least this far apart, ms.
inline constexpr int kDiscoveryStateIntervalMs = 1000;

struct DiscoveryBench {
    QString prefix;     // the bench's topic prefix: lab/bench1
    QString program;    // zoltctl or zoltscope
    QString version;
    int topChannel = 6;
    bool digital = false;
    ChannelSetup setup;
};

struct RetainedMessage {
    QByteArray topic;
    QByteArray payload;   // empty: clears the topic
};

// "zolt_lab_bench1": the prefix with every character outside [A-Za-z0-9_-] as '_'.
QByteArray discoveryNode(const QString& prefix);
QByteArray discoveryStateTopic(const QString& prefix);
// The availability template, which takes the status topic's text.
QByteArray discoveryAvailabilityTemplate();
// A config for each channel and line sampled, an empty message for the others.
std::vector<RetainedMessage> discoveryConfigs(const DiscoveryBench& bench);
// An empty message for every channel and line.
std::vector<RetainedMessage> discoveryRemoval(const QString& prefix);

} // namespace front
