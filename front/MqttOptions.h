#pragma once

// sample's options for publishing on an MQTT broker, checked with the rest of
// the command line. The password is not among them: it comes from the
// environment or a file, never from the command line.

#include "net/MqttUrl.h"

#include <QString>
#include <functional>
#include <optional>

namespace front {

struct MqttOptions {
    bool enabled = false;
    mqtt::Endpoint endpoint;
    QString caFile;          // --mqtt-cafile
    QString passwordFile;    // --mqtt-password-file
    QString clientId;        // --mqtt-client-id; empty: made from host name and prefix
    int qos = 0;             // --mqtt-qos, for the scans
    bool control = false;    // --mqtt-control
    bool discovery = false;  // --mqtt-discovery: announce the bench to a hub
    bool discoveryRemove = false;   // --mqtt-discovery-remove: take the announcement back and end
};

// The names of the options, so that the option table and this agree.
inline constexpr const char* kMqttOption = "mqtt";
inline constexpr const char* kMqttCaFileOption = "mqtt-cafile";
inline constexpr const char* kMqttPasswordFileOption = "mqtt-password-file";
inline constexpr const char* kMqttClientIdOption = "mqtt-client-id";
inline constexpr const char* kMqttQosOption = "mqtt-qos";
inline constexpr const char* kMqttControlOption = "mqtt-control";
inline constexpr const char* kMqttDiscoveryOption = "mqtt-discovery";
inline constexpr const char* kMqttDiscoveryRemoveOption = "mqtt-discovery-remove";

// isSet and value read the parsed command line. An error is one line.
std::optional<QString> parseMqttOptions(const std::function<bool(const char*)>& isSet,
                                        const std::function<QString(const char*)>& value, MqttOptions& out);

} // namespace front
