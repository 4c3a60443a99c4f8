#include "minihost/scene_states.h"

#include <algorithm>

namespace minihost {

namespace {

constexpr std::intptr_t kTextMode = 1;

int HOST_CALL WriteFloats(void *data, const float *values, int count) {
    SaveStateRecorder &recorder = *static_cast<SaveStateRecorder *>(data);
    recorder.host().log.add("save state", "writeFloats", {std::to_string(count)});
    if (!values || count < 0) {
        recorder.host().reportMisuse("float write of " + std::to_string(count) + " values");
        return 0;
    }
    SceneDataItem item;
    item.kind = SceneDataItem::kFloats;
    item.floats.assign(values, values + count);
    recorder.items.push_back(std::move(item));
    return count;
}

int HOST_CALL ReadFloats(void *data, float *values, int count) {
    LoadStateReader &reader = *static_cast<LoadStateReader *>(data);
    reader.host().log.add("load state", "readFloats", {std::to_string(count)});
    if (!values || count < 0) {
        reader.host().reportMisuse("float read of " + std::to_string(count) + " values");
        return 0;
    }
    return reader.readFloats(values, count);
}

} // namespace

SaveStateRecorder::SaveStateRecorder(Host &host) : host_(host) {
    state_.ioMode = kTextMode;
    state_.data = this;
    state_.writeFloats = WriteFloats;
}

LoadStateReader::LoadStateReader(Host &host, const std::vector<SceneDataItem> &items,
                                 std::string fileName)
    : host_(host), items_(items), fileName_(std::move(fileName)) {
    state_.ioMode = kTextMode;
    state_.data = this;
    state_.readFloats = ReadFloats;
}

const char *LoadStateReader::loadParam(HostParam &param) {
    if (next_ >= items_.size()) {
        return host_.keepText(fileName_ + ": the camera data ends before parameter " +
                              param.channelName);
    }
    const SceneDataItem &item = items_[next_];
    const std::string where = fileName_ + ":" + std::to_string(item.line) + ": ";
    if (item.kind != SceneDataItem::kParam) {
        return host_.keepText(where + "found floats where parameter " + param.channelName +
                              " should be");
    }
    if (item.channelName != param.channelName) {
        return host_.keepText(where + "found parameter " + item.channelName + " where parameter " +
                              param.channelName + " should be");
    }
    if (item.typeCode != param.typeCode) {
        return host_.keepText(where + "parameter " + item.channelName + " has type code " +
                              HexText(static_cast<unsigned>(item.typeCode)) +
                              ", the camera's has " +
                              HexText(static_cast<unsigned>(param.typeCode)));
    }
    ++next_;
    param.envelope.setValue(item.value);
    param.envelope.clearKeys();
    for (const Key &key : item.keys) {
        param.envelope.setKey(key.time, key.value);
    }
    return nullptr;
}

int LoadStateReader::readFloats(float *values, int count) {
    if (next_ >= items_.size() || items_[next_].kind != SceneDataItem::kFloats) {
        return 0;
    }
    const std::vector<float> &floats = items_[next_].floats;
    ++next_;
    const int delivered = std::min(count, static_cast<int>(floats.size()));
    std::copy(floats.begin(), floats.begin() + delivered, values);
    return delivered;
}

const char *HOST_CALL ParamSaveToState(host::ParamHandle handle, const host::SaveState *state) {
    SaveStateRecorder &recorder = *static_cast<SaveStateRecorder *>(state->data);
    Host &h = recorder.host();
    h.log.add(host::kParamServiceName, "save", {h.nameOf(handle)});
    HostParam *param = h.usableParam(handle, "save");
    if (!param) {
        return "stand-in host: no such parameter to save";
    }
    if (param->channelName == h.faults.refuseSaveChannel) {
        return h.keepText("stand-in host: refused to save " + param->channelName);
    }
    SceneDataItem item;
    item.kind = SceneDataItem::kParam;
    item.channelName = param->channelName;
    item.typeCode = param->typeCode;
    item.value = param->envelope.value();
    item.keys = param->envelope.keys();
    recorder.items.push_back(std::move(item));
    return nullptr;
}

const char *HOST_CALL ParamLoadFromState(host::ParamHandle handle, const host::LoadState *state) {
    LoadStateReader &reader = *static_cast<LoadStateReader *>(state->data);
    Host &h = reader.host();
    h.log.add(host::kParamServiceName, "load", {h.nameOf(handle)});
    HostParam *param = h.usableParam(handle, "load");
    if (!param) {
        return "stand-in host: no such parameter to load";
    }
    if (param->channelName == h.faults.refuseLoadChannel) {
        return h.keepText("stand-in host: refused to load " + param->channelName);
    }
    return reader.loadParam(*param);
}

SceneCamera SaveCamera(Host &host, const host::InstanceFuncs &funcs, void *instance,
                       const HostItem &item, const std::string &className,
                       const std::string &serverName) {
    SaveStateRecorder recorder(host);
    if (const char *error = funcs.save(instance, recorder.state())) {
        throw HostError("saving camera " + item.name + ": " + error);
    }
    SceneCamera camera;
    camera.itemName = item.name;
    std::copy(item.position, item.position + 3, camera.position);
    camera.rotation[0] = item.heading;
    camera.rotation[1] = item.pitch;
    camera.rotation[2] = item.bank;
    camera.className = className;
    camera.serverName = serverName;
    camera.data = std::move(recorder.items);
    return camera;
}

void LoadCamera(Host &host, const host::InstanceFuncs &funcs, void *instance,
                const SceneCamera &camera, const std::string &fileName) {
    LoadStateReader reader(host, camera.data, fileName);
    if (const char *error = funcs.load(instance, reader.state())) {
        throw HostError("loading camera " + camera.itemName + ": " + error);
    }
}

} // namespace minihost
