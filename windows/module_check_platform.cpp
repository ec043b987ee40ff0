// Nothing to prepare: the COM runtime finds registered classes by itself.
void module_check_platform_start() {}
