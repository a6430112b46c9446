// The DLL's exports: type library registration, the class object, and the
// chosen failures of both.
#include <gtest/gtest.h>

#include "tests/engine/engine_host.h"

namespace kx::testing {
namespace {

bool TypelibRegistered() {
  ITypeLib* library = nullptr;
  const HRESULT hr = LoadRegTypeLib(LIBID_KxEngineLib, 1, 0, 0, &library);
  if (SUCCEEDED(hr)) library->Release();
  return SUCCEEDED(hr);
}

TEST(EngineExportsTest, AllThreeExportsAreThere) {
  const auto& dll = EngineDll::Get();
  EXPECT_NE(dll.install_typelib, nullptr);
  EXPECT_NE(dll.remove_typelib, nullptr);
  EXPECT_NE(dll.get_class_object, nullptr);
}

TEST(EngineExportsTest, RegistersTheTypeLibraryUnlessToldNotToAndRemovesIt) {
  Medium medium;
  const auto& dll = EngineDll::Get();
  ASSERT_FALSE(TypelibRegistered());

  EXPECT_TRUE(dll.install_typelib(TRUE));  // no engine of its own: nothing to register
  EXPECT_FALSE(TypelibRegistered());

  ASSERT_TRUE(dll.install_typelib(FALSE));
  EXPECT_TRUE(TypelibRegistered());
  ITypeLib* library = nullptr;
  ASSERT_EQ(LoadRegTypeLib(LIBID_KxEngineLib, 1, 0, 0, &library), S_OK);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(library->GetTypeInfoOfGuid(IID_IKxEngine, &info), S_OK);
  if (info) info->Release();
  library->Release();

  dll.remove_typelib();
  EXPECT_FALSE(TypelibRegistered());
  EXPECT_EQ(medium.Journal(), (std::vector<std::wstring>{L"InstallEngineTypelib noengine=1",
                                                         L"InstallEngineTypelib noengine=0",
                                                         L"RemoveEngineTypelib"}));
}

TEST(EngineExportsTest, ChosenTypelibFailureReturnsFalseAndRegistersNothing) {
  Medium medium;
  ScopedEnv fail(L"KX_ENGINE_FAIL", L"InstallEngineTypelib:0x80004005");
  EXPECT_FALSE(EngineDll::Get().install_typelib(FALSE));
  EXPECT_FALSE(TypelibRegistered());
}

TEST(EngineExportsTest, ClassObjectCreatesTheEngineAndRefusesOthers) {
  Medium medium;
  const auto& dll = EngineDll::Get();
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll.get_class_object(IID_IKxEngine, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(
      dll.get_class_object(CLSID_KxEngine, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
      S_OK);
  IUnknown* outer = factory;
  IUnknown* aggregated = nullptr;
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, reinterpret_cast<void**>(&aggregated)),
            CLASS_E_NOAGGREGATION);
  IKxEngine* engine = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IKxEngine, reinterpret_cast<void**>(&engine)),
            S_OK);
  factory->Release();

  // One object answers for the engine, its properties and its setup data.
  IKxPropertyProvider* provider = nullptr;
  IKxSetupInfo* setup = nullptr;
  IKxRunner* runner = nullptr;
  ASSERT_EQ(engine->QueryInterface(IID_IKxPropertyProvider, reinterpret_cast<void**>(&provider)),
            S_OK);
  ASSERT_EQ(provider->QueryInterface(IID_IKxSetupInfo, reinterpret_cast<void**>(&setup)), S_OK);
  EXPECT_EQ(engine->QueryInterface(IID_IKxRunner, reinterpret_cast<void**>(&runner)),
            E_NOINTERFACE);
  IKxProperties* properties = nullptr;
  EXPECT_EQ(provider->QueryService(IID_IKxRunner, IID_IKxProperties,
                                   reinterpret_cast<void**>(&properties)),
            E_NOINTERFACE);
  ASSERT_EQ(provider->QueryService(SID_KxProperties, IID_IKxProperties,
                                   reinterpret_cast<void**>(&properties)),
            S_OK);
  BSTR name = SysAllocString(L"NOSUCH");
  BSTR value = nullptr;
  EXPECT_EQ(properties->GetProperty(name, &value), S_FALSE);
  SysFreeString(name);
  EXPECT_STREQ(value, L"");
  SysFreeString(value);
  EXPECT_EQ(setup->GetValue(7, &value), E_INVALIDARG);
  properties->Release();
  setup->Release();
  provider->Release();
  engine->Release();

  const auto calls = medium.JournalCalls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], L"DllGetClassObject");
  EXPECT_EQ(calls[1], L"DllGetClassObject");
  EXPECT_EQ(calls[2], L"CreateInstance");
}

TEST(EngineExportsTest, ChosenFailuresOfCreationAreReturnedAsChosen) {
  Medium medium;
  TestHost host;
  {
    ScopedEnv fail(L"KX_ENGINE_FAIL", L"DllGetClassObject:0x80040111");
    HostRun run(&host);
    EXPECT_EQ(run.Create(), static_cast<HRESULT>(0x80040111));
  }
  {
    ScopedEnv fail(L"KX_ENGINE_FAIL", L"CreateInstance:0x8007000E");
    HostRun run(&host);
    EXPECT_EQ(run.Create(), E_OUTOFMEMORY);
    EXPECT_EQ(run.engine, nullptr);
  }
  const auto journal = medium.Journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_NE(journal[0].find(L"failed=0x80040111"), std::wstring::npos);
  EXPECT_NE(journal[2].find(L"CreateInstance iid=IKxEngine failed=0x8007000e"), std::wstring::npos);
}

}  // namespace
}  // namespace kx::testing
