// Stand-in, replaced by the window driver.
namespace kestel::driver {
int Placeholder() { return 0; }
}  // namespace kestel::driver
