// The real host is built by another compiler that, on 32-bit x86, promises only 4-byte stack
// alignment when it calls a plug-in. Every entry point the host calls is called here with the
// stack pointer 4, 8 and 12 bytes off 16-byte alignment, and must answer exactly as it does
// on an aligned stack.

#if defined(__i386__)

#include "camera/channel_names.h"
#include "minihost/camera_access.h"
#include "minihost/scene_states.h"
#include "module_fixture.h"
#include "panel/panel_ids.h"

#include <cstdint>
#include <cstring>
#include <vector>

// Calls function with the argument words copied onto a stack whose pointer, at the call, is
// misalignBytes below a 16-byte boundary (0: aligned as this compiler would call), in the
// host's convention: arguments on the stack, the caller removes them, the result in eax.
extern "C" std::uint32_t CallWithStack(const void *function, const std::uint32_t *args,
                                       int argWords,
                                       int misalignBytes) __asm__("orvalen_call_with_stack");

__asm__(".text\n"
        ".globl orvalen_call_with_stack\n"
        "orvalen_call_with_stack:\n"
        "  pushl %ebp\n"
        "  movl %esp, %ebp\n"
        "  pushl %esi\n"
        "  pushl %edi\n"
        "  movl 16(%ebp), %ecx\n"
        "  leal 0(,%ecx,4), %edx\n"
        "  movl %esp, %eax\n"
        "  subl %edx, %eax\n"
        "  subl $64, %eax\n"
        "  andl $-16, %eax\n"
        "  subl 20(%ebp), %eax\n"
        "  movl %eax, %esp\n"
        "  movl 12(%ebp), %esi\n"
        "  movl %esp, %edi\n"
        "  cld\n"
        "  rep movsl\n"
        "  call *8(%ebp)\n"
        "  leal -8(%ebp), %esp\n"
        "  popl %edi\n"
        "  popl %esi\n"
        "  popl %ebp\n"
        "  ret\n");

// Returns the stack pointer it sees on entry: the return address sits there.
extern "C" std::uint32_t StackPointerOnEntry(void) __asm__("orvalen_stack_pointer_on_entry");

__asm__(".text\n"
        ".globl orvalen_stack_pointer_on_entry\n"
        "orvalen_stack_pointer_on_entry:\n"
        "  movl %esp, %eax\n"
        "  ret\n");

namespace {

// Argument words as the host's convention lays them out: one word for an int or a pointer,
// two for a double.
class Words {
  public:
    template <typename T> Words &operator<<(T value) {
        static_assert(sizeof(T) == 4 || sizeof(T) == 8, "a stack argument of 4 or 8 bytes");
        std::uint32_t parts[2] = {0, 0};
        std::memcpy(parts, &value, sizeof value);
        words_.insert(words_.end(), parts, parts + sizeof value / 4);
        return *this;
    }
    const std::vector<std::uint32_t> &words() const { return words_; }

  private:
    std::vector<std::uint32_t> words_;
};

template <typename Function> const void *Address(Function function) {
    return reinterpret_cast<const void *>(function);
}

// Everything a host sees from one pass over the entry points, in order.
struct Answers {
    std::vector<std::uint32_t> results;
    std::vector<unsigned char> bytes;
    std::vector<std::string> texts;

    void result(std::uint32_t value) { results.push_back(value); }
    template <typename T> void record(const T &value) {
        const unsigned char *begin = reinterpret_cast<const unsigned char *>(&value);
        bytes.insert(bytes.end(), begin, begin + sizeof value);
    }
};

// Drives every entry point the host calls, each through the trampoline at the given
// misalignment: start-up, both activations, create, describe, flags, time update, preview,
// rays, save, load, copy, panel get and set, the hint list's callbacks, destroy, shut-down.
Answers EveryEntryPoint(int misalign) {
    Answers answers;
    minihost::Session session(ORVALEN_MODULE_PATH, kServerName);
    minihost::Host &host = session.host();
    const host::ModuleDescriptor &descriptor = session.module().descriptor();
    auto call = [&](const void *function, const Words &args) {
        return CallWithStack(function, args.words().data(), static_cast<int>(args.words().size()),
                             misalign);
    };

    const std::uint32_t token = call(Address(descriptor.startup), Words());
    answers.result(token);
    minihost::HandlerRecords &records = session.handler();
    answers.result(call(Address(session.handlerServer().activate),
                        Words() << host::kCameraHandlerVersion << host.globalFunc()
                                << static_cast<void *>(&records.record)
                                << static_cast<void *>(nullptr)));
    const host::InstanceFuncs &inst = records.inst;
    const host::CameraHandlerRecord &handler = records.record;

    minihost::HostItem *item = host.addItem("Camera");
    const char *error = nullptr;
    void *camera = reinterpret_cast<void *>(
        call(Address(inst.create), Words() << inst.privateData << host.itemId(item) << &error));
    EXPECT_NE(camera, nullptr) << "misaligned by " << misalign;
    if (!camera) {
        return answers;
    }
    answers.texts.push_back(
        reinterpret_cast<const char *>(call(Address(inst.describe), Words() << camera)));
    answers.result(call(Address(handler.flags), Words() << camera));

    double fov = 2.5;
    double shift = 0.125;
    host.paramService().setValue(host.handle(host.channel(item, kFovChannel)), &fov);
    host.paramService().setValue(host.handle(host.channel(item, kHShiftChannel)), &shift);
    host.setTime(1.0);
    answers.result(call(Address(handler.newTime), Words() << camera << 24 << 1.0));

    item->heading = 0.3;
    item->pitch = -0.2;
    const host::CameraAccess access = minihost::AccessFor(*item, 1.5, 1.0);
    host::Matrix4 matrix{};
    answers.result(call(Address(handler.preview), Words() << camera << &matrix << &access));
    answers.record(matrix);
    for (double x : {-0.75, -0.1, 0.0, 0.4}) {
        for (double y : {-0.5, 0.0, 0.33}) {
            host::CameraRay ray{};
            answers.result(
                call(Address(handler.evaluate), Words() << camera << x << y << &ray << &access));
            answers.record(ray);
        }
    }

    minihost::SaveStateRecorder saved(host);
    answers.result(call(Address(inst.save), Words() << camera << saved.state()));
    answers.record(saved.items.size());
    if (!saved.items.empty()) {
        for (float value : saved.items.back().floats) {
            answers.record(value);
        }
    }
    minihost::LoadStateReader reader(host, saved.items, "aligned.scene");
    answers.result(call(Address(inst.load), Words() << camera << reader.state()));

    void *copy = reinterpret_cast<void *>(
        call(Address(inst.create), Words() << inst.privateData << host.itemId(item) << &error));
    answers.result(call(Address(inst.copy), Words() << copy << camera));
    host::CameraRay copied{};
    call(Address(handler.evaluate), Words() << copy << 0.2 << 0.1 << &copied << &access);
    answers.record(copied);

    host::InterfaceRecord record{};
    record.instance = camera;
    answers.result(call(Address(session.interfaceServer().activate),
                        Words() << host::kCameraInterfaceVersion << host.globalFunc()
                                << static_cast<void *>(&record) << static_cast<void *>(nullptr)));
    const minihost::RecordedPanel *panel = session.toolkit().panel(record.panel);
    EXPECT_NE(panel, nullptr) << "misaligned by " << misalign;
    if (panel) {
        for (host::PanelElementId id : {ID_FOV, ID_HSHIFT, ID_VSHIFT, ID_FOV_GROUP_SPARE}) {
            const std::uint32_t param = call(Address(panel->get), Words() << camera << id);
            answers.texts.push_back(host.nameOf(reinterpret_cast<host::ParamHandle>(param)));
        }
        double entered = 0.25;
        answers.result(call(Address(panel->set), Words() << camera << ID_VSHIFT << &entered));
        host::CameraRay afterSet{};
        call(Address(handler.evaluate), Words() << camera << 0.2 << 0.1 << &afterSet << &access);
        answers.record(afterSet);
        for (const auto &hints : panel->hints) {
            for (host::HintWord callback : hints.second.callbacks) {
                call(reinterpret_cast<const void *>(callback), Words() << camera);
            }
        }
    }

    call(Address(inst.destroy), Words() << copy);
    call(Address(inst.destroy), Words() << camera);
    call(Address(descriptor.shutdown), Words() << reinterpret_cast<void *>(token));
    EXPECT_TRUE(host.misuse().empty()) << "misaligned by " << misalign;
    return answers;
}

TEST(StackAlignment, TheTrampolineMisalignsAsAsked) {
    const std::uint32_t arguments[3] = {1, 2, 3};
    for (int misalign : {0, 4, 8, 12}) {
        // Before the call pushed the return address, the stack pointer was misalign bytes
        // below a 16-byte boundary.
        const std::uint32_t entry = CallWithStack(
            reinterpret_cast<const void *>(StackPointerOnEntry), arguments, 3, misalign);
        EXPECT_EQ((entry + 4 + misalign) % 16, 0u) << "misaligned by " << misalign;
    }
}

TEST(StackAlignment, EveryEntryPointAnswersTheSameOnAMisalignedStack) {
    const Answers aligned = EveryEntryPoint(0);
    ASSERT_FALSE(aligned.results.empty());
    for (int misalign : {4, 8, 12}) {
        const Answers answers = EveryEntryPoint(misalign);
        EXPECT_EQ(answers.results, aligned.results) << "misaligned by " << misalign;
        EXPECT_EQ(answers.bytes, aligned.bytes) << "misaligned by " << misalign;
        EXPECT_EQ(answers.texts, aligned.texts) << "misaligned by " << misalign;
    }
}

} // namespace

#endif
