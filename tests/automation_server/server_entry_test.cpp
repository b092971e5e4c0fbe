// The DLL's class object and unload query.
#include <gtest/gtest.h>

#include "class_factory.hpp"
#include "com_identity.hpp"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out);
STDAPI DllCanUnloadNow();

namespace gpio_dll::com {
namespace {

TEST(ServerEntry, HandsOutItsOneClassAndUnloadsWhenNothingHoldsIt) {
  IClassFactory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  ASSERT_EQ(DllGetClassObject(kClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  IUnknown* outer = factory;  // any outer object: aggregation is refused
  IUnknown* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&object)),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, reinterpret_cast<void**>(&object)),
            E_NOINTERFACE);
  ASSERT_EQ(factory->CreateInstance(nullptr, kInterfaceId, reinterpret_cast<void**>(&object)),
            S_OK);
  IDispatch* dispatch = nullptr;
  EXPECT_EQ(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  dispatch->Release();
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);  // an object is alive
  object->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  ClassFactory::instance().LockServer(TRUE);  // a lock holds the server as well
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  ClassFactory::instance().LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace gpio_dll::com
