// Being written: idesetup's report.
