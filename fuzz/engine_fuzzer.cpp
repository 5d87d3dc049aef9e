// The exchange machine driven by any sequence of events: bytes (random, or the reply the
// phase expects, whole, cut or damaged), time-outs, cancel, hang-up, the operator's
// answers and local failures. Whatever comes, the machine must keep its promises:
// exactly one end per exchange, nothing on the line after it, never two waits armed at
// once, the link closed at every end, never a save of bytes that did not pass the
// reply's check byte, and nothing on the line for a file whose name cannot be sent. The
// replies fill the bytes the PC must not examine with anything.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <string>
#include <vector>

#include "exchange/engine/exchange_machine.h"
#include "fuzz_support.h"

using namespace dravolin;
using dravolin::fuzz::referenceXor;
using dravolin::fuzz::require;

namespace {

// What the driver would see, checked against the promises after each event.
class Watch {
public:
    void started(bool accepted) {
        if (accepted) {
            require(!running_, "an exchange starts only when none runs");
            running_ = true;
            lineUsed_ = false;
            ended_ = false;
        }
    }

    void take(const MachineActions& actions) {
        for (const MachineAction& action : actions) {
            check(action);
        }
        if (!running_) {
            require(!linkOpen_, "the link is closed once an exchange has ended");
            require(!armed_, "no wait outlives its exchange");
        }
    }

    void timerFired() { armed_ = false; }
    bool armed() const { return armed_; }
    bool running() const { return running_; }
    bool ended() const { return ended_; }
    const std::vector<std::uint8_t>& reply() const { return reply_; }
    void received(std::span<const std::uint8_t> bytes) {
        if (linkOpen_) {
            reply_.insert(reply_.end(), bytes.begin(), bytes.end());
        }
    }

private:
    void check(const MachineAction& action) {
        using Kind = MachineAction::Kind;
        switch (action.kind) {
            case Kind::OpenLink:
                require(running_ && !linkOpen_, "the link opens once, inside an exchange");
                linkOpen_ = true;
                lineUsed_ = true;
                break;
            case Kind::CloseLink:
                require(linkOpen_, "only an open link closes");
                linkOpen_ = false;
                break;
            case Kind::Send:
                require(running_ && linkOpen_, "nothing is sent after the end or without a link");
                reply_.clear();
                break;
            case Kind::ArmWait:
                require(running_ && !armed_, "never two waits armed at once");
                require(action.milliseconds >= kShortestWaitMs, "a wait lasts");
                armed_ = true;
                break;
            case Kind::DisarmWait:
                armed_ = false;
                break;
            case Kind::Save:
                checkSave(action.bytes);
                break;
            case Kind::End:
                require(running_, "exactly one end per exchange");
                require(!action.outcome.unsendable || !lineUsed_,
                        "a name that cannot be sent ends the exchange before the line is used");
                running_ = false;
                ended_ = true;
                break;
            default:
                break;
        }
    }

    void checkSave(const std::vector<std::uint8_t>& file) {
        require(running_, "a save belongs to a running exchange");
        require(reply_.size() > file.size(), "a save holds no more than the reply");
        require(std::equal(file.begin(), file.end(), reply_.begin()), "a save holds the reply");
        require(referenceXor(file) == reply_[file.size()], "a save passed its check byte");
    }

    bool running_ = false;
    bool lineUsed_ = false;  // in the running exchange
    bool ended_ = false;
    bool linkOpen_ = false;
    bool armed_ = false;
    std::vector<std::uint8_t> reply_;  // received since the last frame
};

std::vector<std::uint8_t> fourDigits(long value) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04ld", value % 10000);
    return {digits, digits + 4};
}

// The reply the phase expects, built as the programmer builds it, with a small size.
std::vector<std::uint8_t> expectedReply(const ExchangeMachine& machine, FuzzedDataProvider& input) {
    using Phase = ExchangeMachine::Phase;
    std::vector<std::uint8_t> reply;
    switch (machine.phase()) {
        case Phase::DirectoryStatus:
        case Phase::FetchStatus:
        case Phase::AnnounceStatus:
        case Phase::DataStatus:
            return {
                input.ConsumeIntegral<std::uint8_t>(),
                input.ConsumeBool() ? std::uint8_t('0') : input.ConsumeIntegral<std::uint8_t>()};
        case Phase::DirectoryHeader: {
            reply = input.ConsumeBytes<std::uint8_t>(12);
            reply.resize(12, ' ');
            const auto digits = fourDigits(input.ConsumeIntegralInRange<long>(0, 17));
            reply.insert(reply.end(), digits.begin(), digits.end());
            return reply;
        }
        case Phase::FetchHeader: {
            reply = input.ConsumeBytes<std::uint8_t>(4);
            reply.resize(4, ' ');
            const auto digits = fourDigits(input.ConsumeIntegralInRange<long>(0, 40));
            reply.insert(reply.end(), digits.begin(), digits.end());
            return reply;
        }
        case Phase::DirectoryEntries:
        case Phase::FetchData: {
            // The rest of the reply: its check byte over what came since the go-ahead.
            std::vector<std::uint8_t> whole(machine.receivedBytes().begin(),
                                            machine.receivedBytes().end());
            while (whole.size() + 1 < machine.awaited()) {
                whole.push_back(input.ConsumeIntegral<std::uint8_t>());
            }
            const std::uint8_t check = referenceXor(whole);
            reply.assign(
                whole.begin() + static_cast<std::ptrdiff_t>(machine.receivedBytes().size()),
                whole.end());
            reply.push_back(check);
            return reply;
        }
        default:
            return input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<int>(0, 20));
    }
}

// A file to send: none, one whose name goes out in Latin-1, or one whose name cannot.
std::string pathFrom(FuzzedDataProvider& input) {
    return input.PickValueInArray<std::string>(
        {"", "/fuzz/TAG.tiv", "/fuzz/Tür.tiv", "/fuzz/Euro€.tiv", "/fuzz/T\xfcr.tiv"});
}

ExchangeRequest requestFrom(FuzzedDataProvider& input) {
    ExchangeRequest request;
    request.kind = static_cast<ExchangeRequest::Kind>(input.ConsumeIntegralInRange<int>(0, 4));
    request.shortFirstWait = input.ConsumeBool();
    request.line = LineTiming{input.PickValueInArray({9600, 19200, 38400, 57600}),
                              input.PickValueInArray({'N', 'E', 'O'}),
                              input.ConsumeIntegralInRange<int>(1, 2)};
    if (request.kind == ExchangeRequest::Kind::Send ||
        request.kind == ExchangeRequest::Kind::Fetch) {
        request.path = pathFrom(input);
    }
    return request;
}

std::vector<std::uint8_t> fileToSend(FuzzedDataProvider& input) {
    std::vector<std::uint8_t> file = input.ConsumeBytes<std::uint8_t>(4);
    file.resize(4, ' ');
    const auto digits = fourDigits(input.ConsumeIntegralInRange<long>(0, 40));
    file.insert(file.end(), digits.begin(), digits.end());
    const std::vector<std::uint8_t> data =
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<int>(0, 48));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    ExchangeMachine machine;
    Watch watch;
    for (int step = 0; step < 200 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange<int>(0, 13)) {
            case 0: {
                const bool idle = !machine.running();
                const MachineActions actions = machine.start(requestFrom(input));
                watch.started(idle);
                watch.take(actions);
                break;
            }
            case 1:
            case 2:
            case 3: {
                // The expected reply, now and then cut short or with one byte damaged.
                std::vector<std::uint8_t> bytes = expectedReply(machine, input);
                if (!bytes.empty() && input.ConsumeIntegralInRange<int>(0, 7) == 0) {
                    bytes[input.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1)] ^=
                        input.ConsumeIntegralInRange<std::uint8_t>(1, 255);
                }
                if (!bytes.empty() && input.ConsumeIntegralInRange<int>(0, 7) == 0) {
                    bytes.resize(input.ConsumeIntegralInRange<std::size_t>(0, bytes.size() - 1));
                }
                watch.received(bytes);
                watch.take(machine.received(bytes));
                break;
            }
            case 4: {
                const std::vector<std::uint8_t> bytes =
                    input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<int>(1, 40));
                watch.received(bytes);
                watch.take(machine.received(bytes));
                break;
            }
            case 5:
                // Only an armed timer can fire; a stray one must change nothing.
                if (watch.armed()) {
                    watch.timerFired();
                }
                watch.take(machine.timedOut());
                break;
            case 6:
                watch.take(machine.cancel());
                break;
            case 7:
                watch.take(input.ConsumeBool() ? machine.hungUp() : machine.linkFailed());
                break;
            case 8:
                watch.take(machine.entryChosen(input.ConsumeIntegralInRange<int>(-1, 16)));
                break;
            case 9:
                watch.take(machine.fileChosen(input.ConsumeBool()
                                                  ? std::optional<std::string>(pathFrom(input))
                                                  : std::nullopt));
                break;
            case 10:
                watch.take(machine.fileLoaded(fileToSend(input)));
                break;
            case 11:
                watch.take(input.ConsumeBool() ? machine.saved() : machine.localFailure("fuzz"));
                break;
            case 12:
                watch.take(machine.frameLeft(input.ConsumeIntegralInRange<std::size_t>(0, 60)));
                break;
            case 13:
                watch.take(machine.endAtListing(input.ConsumeBool()
                                                    ? ExchangeOutcome::Ending::Success
                                                    : ExchangeOutcome::Ending::NotHeld));
                watch.take(machine.lineErrorsSeen());
                break;
        }
    }
    // Every exchange comes to its end: a cancel ends all but a save under way, whose
    // outcome ends it.
    if (machine.running()) {
        watch.take(machine.cancel());
    }
    if (machine.running()) {
        watch.take(machine.saved());
    }
    require(!machine.running() && !watch.running(), "every exchange ends");
    return 0;
}
