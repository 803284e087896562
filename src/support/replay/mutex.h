// Locks of the support library: anything that can be entered and left, a
// recursive mutex over a critical section, and a scope that holds one entered
// object until it ends (or is left earlier).
#pragma once

#include <windows.h>

namespace replay {

class scope_semantics {
  public:
    virtual ~scope_semantics() = default;
    virtual void enter() = 0;
    virtual void leave() = 0;
};

// A plain recursive critical section: the owning thread may enter again and
// must leave as often as it entered.
class mutex : public scope_semantics {
  public:
    mutex();
    ~mutex() override;
    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;

    void enter() override;
    void leave() override;

  private:
    CRITICAL_SECTION m_section;
};

class scope : public scope_semantics {
  public:
    // Enters `held` at once when it is not null.
    explicit scope(scope_semantics* held);
    ~scope() override;
    scope(const scope&) = delete;
    scope& operator=(const scope&) = delete;

    void enter() override;
    // Leaves the held object and forgets it, so the destructor does nothing.
    void leave() override;

  private:
    scope_semantics* m_held;
};

}  // namespace replay
