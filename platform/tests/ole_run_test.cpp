#include <ole2.h>

#include <gtest/gtest.h>

namespace {

// An object that may or may not know a running state of its own.
class Object : public IRunnableObject {
  public:
    explicit Object(bool runnable, HRESULT runResult = S_OK)
        : m_runnable(runnable), m_runResult(runResult) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
        if (InlineIsEqualGUID(iid, IID_IUnknown) ||
            (m_runnable && InlineIsEqualGUID(iid, IID_IRunnableObject))) {
            *object = static_cast<IRunnableObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(GetRunningClass)(LPCLSID) override { return E_NOTIMPL; }
    STDMETHOD(Run)(LPBINDCTX) override {
        ++runs;
        return m_runResult;
    }
    STDMETHOD_(BOOL, IsRunning)() override { return runs > 0; }
    STDMETHOD(LockRunning)(BOOL, BOOL) override { return S_OK; }
    STDMETHOD(SetContainedObject)(BOOL) override { return S_OK; }

    ULONG refs = 1;
    int runs = 0;

  private:
    bool m_runnable;
    HRESULT m_runResult;
};

TEST(OleRun, AnObjectWithoutARunningStateIsRunningAlready) {
    Object plain(false);
    EXPECT_EQ(OleRun(&plain), S_OK);
    EXPECT_EQ(plain.runs, 0);
    EXPECT_EQ(plain.refs, 1u);
}

TEST(OleRun, ARunnableObjectIsRunAndItsAnswerPassedOn) {
    Object runnable(true);
    EXPECT_EQ(OleRun(&runnable), S_OK);
    EXPECT_EQ(runnable.runs, 1);
    EXPECT_EQ(runnable.refs, 1u);
    Object refusing(true, E_OUTOFMEMORY);
    EXPECT_EQ(OleRun(&refusing), E_OUTOFMEMORY);
}

TEST(OleRun, NullIsAnInvalidArgument) {
    EXPECT_EQ(OleRun(nullptr), E_INVALIDARG);
}

}  // namespace
