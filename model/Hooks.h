#pragma once
// Event hooks that tools chain into. Each installed handler receives the
// next handler and the event's arguments; it decides whether to pass the
// event on by calling next. The handler installed last runs first.
//
// Installing answers a token; dropping or resetting the token removes that
// handler, whatever the order of removals, and a token that outlives its
// hook does nothing. A handler removed while an event runs is not called
// again by that event's remaining chain.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tarn {

class THookToken;

namespace detail {

class THookStateBase {
public:
    virtual ~THookStateBase() = default;
    virtual void Remove(uint64_t id) = 0;
};

} // namespace detail

// Removes its handler when reset or destroyed. Movable, not copyable.
class THookToken {
public:
    THookToken() = default;
    THookToken(std::weak_ptr<detail::THookStateBase> state, uint64_t id) : State(std::move(state)), Id(id) {}
    THookToken(THookToken&& other) noexcept : State(std::move(other.State)), Id(std::exchange(other.Id, 0)) {}
    THookToken& operator=(THookToken&& other) noexcept
    {
        if (this != &other) {
            Reset();
            State = std::move(other.State);
            Id = std::exchange(other.Id, 0);
        }
        return *this;
    }
    THookToken(const THookToken&) = delete;
    THookToken& operator=(const THookToken&) = delete;
    ~THookToken() { Reset(); }

    void Reset()
    {
        if (Id == 0) return;
        if (auto state = State.lock()) state->Remove(Id);
        State.reset();
        Id = 0;
    }
    bool Installed() const { return Id != 0 && !State.expired(); }

private:
    std::weak_ptr<detail::THookStateBase> State;
    uint64_t Id = 0;
};

template <class... Args>
class THook {
    struct TEntry;  // declared ahead: TNext names it

public:
    class TNext;
    using THandler = std::function<void(const TNext& next, Args... args)>;

    // The rest of the chain below the running handler; calling it when
    // nothing is left does nothing.
    class TNext {
    public:
        void operator()(Args... args) const
        {
            for (std::size_t i = Index; i > 0; --i) {
                const TEntry& e = (*Snapshot)[i - 1];
                if (!*e.Alive) continue;
                TNext next(Snapshot, i - 1);
                e.Handler(next, args...);
                return;
            }
        }
        explicit operator bool() const
        {
            for (std::size_t i = Index; i > 0; --i)
                if (*(*Snapshot)[i - 1].Alive) return true;
            return false;
        }

    private:
        friend class THook;
        TNext(std::shared_ptr<const std::vector<typename THook::TEntry>> snapshot, std::size_t index)
            : Snapshot(std::move(snapshot)), Index(index)
        {
        }
        std::shared_ptr<const std::vector<typename THook::TEntry>> Snapshot;
        std::size_t Index;
    };

    THook() : State(std::make_shared<TState>()) {}
    THook(const THook&) = delete;
    THook& operator=(const THook&) = delete;

    [[nodiscard]] THookToken Install(THandler handler)
    {
        uint64_t id = ++State->LastId;
        auto entries = std::make_shared<std::vector<TEntry>>(*State->Entries);
        entries->push_back(TEntry{id, std::move(handler), std::make_shared<bool>(true)});
        State->Entries = std::move(entries);
        return THookToken(std::weak_ptr<detail::THookStateBase>(State), id);
    }

    bool Assigned() const { return !State->Entries->empty(); }
    std::size_t Count() const { return State->Entries->size(); }

    // Runs the chain from the handler installed last.
    void operator()(Args... args) const
    {
        auto snapshot = State->Entries;
        TNext(snapshot, snapshot->size())(args...);
    }

private:
    struct TEntry {
        uint64_t Id;
        THandler Handler;
        std::shared_ptr<bool> Alive;  // cleared on removal, seen by running chains
    };

    struct TState : detail::THookStateBase {
        std::shared_ptr<const std::vector<TEntry>> Entries = std::make_shared<std::vector<TEntry>>();
        uint64_t LastId = 0;
        void Remove(uint64_t id) override
        {
            auto entries = std::make_shared<std::vector<TEntry>>();
            for (const TEntry& e : *Entries) {
                if (e.Id == id) *e.Alive = false;
                else entries->push_back(e);
            }
            Entries = std::move(entries);
        }
    };

    std::shared_ptr<TState> State;
};

} // namespace tarn
