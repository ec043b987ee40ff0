object f: TForm
  BorderStyle = bsDialog
  ClientWidth = 300
  ClientHeight = 200
  object drives: TDriveComboBox
    DirList = folders
  end
  object folders: TDirectoryListBox
    Align = alClient
    DirLabel = folder_label
  end
  object folder_label: TLabel
    Align = alTop
    AutoSize = False
    WordWrap = True
  end
  object p: TPanel
    Align = alBottom
    Height = 40
    AlignWithMargins = True
    BevelOuter = bvNone
    object g: TGroupBox
      Align = alRight
      Width = -5
    end
    object bar: TProgressBar
      Min = 0
      Max = 100
      Position = 50
      Step = 10
    end
  end
end
