// Built only into the export check's probe library: one exported function that is not
// a member of the class, which the check must refuse.
__attribute__((visibility("default"))) int VelkorHttpProbeExtra() { return 1; }
