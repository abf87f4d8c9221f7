// Placeholder so the support library has a source before helpers exist.
